// The ranged GET's libcurl callbacks: the progress check (slice deadline,
// cancel, changed file), the reply's headers, and the body written into the
// worker's parts through its sink.
#include <algorithm>
#include <cstdint>
#include <mutex>
#include <string_view>

#include "CLibcurlTool.h"
#include "CTask.h"
#include "Logger.h"

namespace {

bool RunSawChange(const CTask* task) { return task->RemoteChanged && task->RemoteChanged->load(); }

bool RunCancelled(const CTask* task) { return task->Cancel && task->Cancel->load(); }

void MarkChanged(const CTask* task) {
  if (task->RemoteChanged) task->RemoteChanged->store(true);
}

// At the end of a final response's headers: does it show another file than
// the probed one? A 200 to If-Range means the validator no longer matched,
// unless it carries the very validator (a server ignoring ranges altogether).
bool ReplyShowsChange(const RangeTransfer& transfer, const CTask* task) {
  const RangeReply& reply = transfer.reply;
  if (reply.status != 200 && reply.status != 206) return false;
  if (ValidatorsDiffer(task->Probed, reply.validators)) {
    QMLOG(" [Error]: "
          << "remote file changed, task " << task->TaskId.load() << ": probed etag "
          << task->Probed.etag << ", last-modified " << task->Probed.lastModified << "; reply etag "
          << reply.validators.etag << ", last-modified " << reply.validators.lastModified);
    return true;
  }
  const bool sameEtag = !task->Probed.etag.empty() && reply.validators.etag == task->Probed.etag;
  const bool sameDate = task->Probed.etag.empty() && !task->Probed.lastModified.empty() &&
                        reply.validators.lastModified == task->Probed.lastModified;
  if (reply.status == 200 && transfer.ifRangeSent && !sameEtag && !sameDate) {
    QMLOG(" [Error]: "
          << "remote file changed, task " << task->TaskId.load()
          << ": 200 to If-Range with validator " << IfRangeValue(task->Probed));
    return true;
  }
  return false;
}

}  // namespace

int CLibcurlTool::ProgressCallback(void* userdata, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* sink = static_cast<IRangeSink*>(userdata);
  RangeTransfer& transfer = sink->transfer();
  if (transfer.sliceDeadlineMs > 0 && TickCountMs() > transfer.sliceDeadlineMs) {
    transfer.sliceTimedOut = true;
    return 1;
  }
  const CTask* task = transfer.task;
  return RunSawChange(task) || RunCancelled(task) ? 1 : 0;
}

size_t CLibcurlTool::HeaderCallback(char* buffer, size_t size, size_t count, void* userdata) {
  const size_t n = size * count;
  auto* sink = static_cast<IRangeSink*>(userdata);
  if (buffer == nullptr) return n;
  const std::string_view line(buffer, n);
  RangeTransfer& transfer = sink->transfer();
  RangeReplyOnLine(transfer.reply, line);
  CTask* task = transfer.task;
  if (RunSawChange(task)) return 0;
  if (transfer.reply.headersEnded && ReplyShowsChange(transfer, task)) {
    MarkChanged(task);
    return 0;
  }
  if (task->ContentLength == 0) return n;
  {
    // Workers sharing a slice may read their replies' headers at once.
    std::lock_guard<std::timed_mutex> lock(sink->writeMutex());
    if (UpdateCdnStatus(task->CdnStatus, task->CdnResult, line)) return n;
  }
  switch (CheckRangeTotal(line, task->ContentLength)) {
    case RangeTotalCheck::Differs:
      // Another length is another file: the run ends and starts over.
      QMLOG(" HeaderCallback error1: " << task->ContentLength << " != " << line);
      QMLOG(" [Error]: "
            << "remote file changed, task " << task->TaskId.load() << ": length "
            << task->ContentLength << " probed, reply says " << TrimBlanks(HeaderRawValue(line)));
      MarkChanged(task);
      return 0;
    case RangeTotalCheck::NoTotal:
      QMLOG(" HeaderCallback error2: " << line);
      return 0;
    default:
      return n;
  }
}

namespace {

// Writes what the transfer's current part still takes of data; sets failed
// when the file took less than that.
std::size_t WriteIntoPart(IRangeSink* sink, const char* data, std::size_t size, bool& failed) {
  RangeTransfer& transfer = sink->transfer();
  CTask* task = transfer.task;
  // The lock covers only the bookkeeping: parts never overlap, so the
  // positioned write itself cannot interleave with another worker's.
  std::int64_t at = 0;
  std::int64_t wanted = 0;
  {
    std::lock_guard<std::timed_mutex> lock(sink->writeMutex());
    wanted = task->Parts.reserve(transfer.part, static_cast<std::int64_t>(size), at);
  }
  if (wanted <= 0) return 0;
  const std::size_t written = sink->writeAt(data, static_cast<std::size_t>(wanted), at);
  std::lock_guard<std::timed_mutex> lock(sink->writeMutex());
  task->Parts.commit(transfer.part, static_cast<std::int64_t>(written));
  task->PublishProgress();
  failed = written != static_cast<std::size_t>(wanted);
  return written;
}

}  // namespace

bool StreamReplyMatches(const RangeTransfer& transfer) {
  const RangeReply& reply = transfer.reply;
  const std::int64_t lastByte = std::min(transfer.requestEnd, transfer.task->ContentLength - 1);
  return transfer.slices > 1 && reply.status == 206 && reply.range.valid &&
         reply.range.first == transfer.requestStart && reply.range.last == lastByte;
}

void RefuseStream(const RangeTransfer& transfer, const char* why) {
  const CTask* task = transfer.task;
  if (!task->StreamRefused || task->StreamRefused->exchange(true)) return;
  QMLOG(" Range of " << transfer.slices << " slices refused (" << why << "), task " << task->TaskId.load()
                     << ", status " << transfer.reply.status << ", reply " << transfer.reply.range.first << "-"
                     << transfer.reply.range.last << ", asked " << transfer.requestStart << "-" << transfer.requestEnd
                     << "; each slice is asked for on its own from now on");
}

size_t CLibcurlTool::downloadFunc(char* buffer, size_t size, size_t count, void* userdata) {
  const size_t received = size * count;
  auto* sink = static_cast<IRangeSink*>(userdata);
  RangeTransfer& transfer = sink->transfer();
  // Nothing of another file's reply reaches the package.
  if (RunSawChange(transfer.task)) return 0;
  // An error page, or a reply that is not the asked-for range, never reaches
  // the package.
  if (!RangeReplyAcceptable(transfer.reply, transfer.requestStart)) {
    if (!transfer.refusalLogged) {
      transfer.refusalLogged = true;
      QMLOG(" Range refused: " << transfer.task->TaskId.load() << ", status " << transfer.reply.status
                               << ", reply start " << transfer.reply.range.first << ", asked "
                               << transfer.requestStart);
      if (transfer.slices > 1) RefuseStream(transfer, "not the asked range");
    }
    return 0;
  }
  std::size_t consumed = 0;
  bool failed = false;
  while (consumed < received && !failed) {
    consumed += WriteIntoPart(sink, buffer + consumed, received - consumed, failed);
    // The part is full and bytes remain: they are the next slice's when the
    // request covers it, else the transfer ends here.
    if (consumed < received && !failed && !sink->enterNextSlice()) break;
  }
  const bool filled = !failed && consumed < received;
  if (filled) transfer.rangeFilled = true;
  bool cutOnPurpose = false;
  {
    // A split, a tail given to another worker, or a reply that may not run
    // on past its first slice ends the transfer before what was asked.
    std::lock_guard<std::timed_mutex> lock(sink->writeMutex());
    cutOnPurpose = filled && transfer.task->Parts.part(transfer.part).limit < transfer.requestLast;
  }
  if (consumed != received && !cutOnPurpose) {
    const CTask* task = transfer.task;
    QMLOG(" Thread: " << task->TaskId.load() << " Write Error. Task id：" << task->TaskId.load()
                      << " Download to:" << task->DownloadedPos.load() << " Receive:" << received
                      << " Write:" << consumed << " Task EndPos:" << task->EndPos);
  }
  return consumed;
}
