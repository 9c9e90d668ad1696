#pragma once
// Shared set-up of the fuzz harnesses: a quiet logger, telemetry switched off,
// a private scratch folder, and a stored (uncompressed) zip archive built in
// memory for the parsers that read from the skin archive.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace fuzz {

// Logger to nowhere, telemetry disabled; call once from LLVMFuzzerInitialize.
void QuietProcess();

// A folder of this process, created on first use and kept for its lifetime.
const std::string& ScratchDir();

// Writes bytes to path (replacing it); false when the write failed.
bool WriteBytes(const std::string& path, const std::uint8_t* data, std::size_t size);

// A zip archive holding each (name, bytes) member stored without compression.
std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& members);

}  // namespace fuzz
