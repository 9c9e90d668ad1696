#include "SliceParts.h"

#include <algorithm>

void SliceParts::beginAttempt(std::int64_t from, std::int64_t last, bool keep) {
  m_failed = false;
  m_failCode = 0;
  if (keep && !m_parts.empty()) return;
  m_parts.clear();
  m_order.clear();
  if (from > last) return;
  m_parts.push_back(SlicePart{from, last, from, from, false});
  m_order.push_back(0);
}

int SliceParts::claimGap() {
  for (const int i : m_order) {
    SlicePart& p = m_parts[static_cast<std::size_t>(i)];
    if (!p.claimed && !p.filled()) {
      p.claimed = true;
      return i;
    }
  }
  return kNone;
}

int SliceParts::largestGap() const {
  int best = kNone;
  for (const int i : m_order) {
    const SlicePart& p = m_parts[static_cast<std::size_t>(i)];
    if (p.claimed || p.filled()) continue;
    if (best == kNone || p.left() > part(best).left()) best = i;
  }
  return best;
}

int SliceParts::busiestClaimed() const {
  int best = kNone;
  for (const int i : m_order) {
    const SlicePart& p = m_parts[static_cast<std::size_t>(i)];
    if (!p.claimed) continue;
    if (best == kNone || p.unreserved() > part(best).unreserved()) best = i;
  }
  return best;
}

std::int64_t SliceParts::SplitPoint(std::int64_t from, std::int64_t limit, std::int64_t minimum,
                                    std::int64_t align) {
  const std::int64_t left = limit + 1 - from;
  if (minimum <= 0 || left < minimum) return kNone;
  const std::int64_t middle = from + left / 2;
  const std::int64_t point = align > 1 ? middle / align * align : middle;
  // Both sides keep at least one byte; a coarse grid on a small remainder
  // may leave no boundary inside it.
  return point > from && point <= limit ? point : kNone;
}

std::int64_t SliceParts::helpSize(std::int64_t minimum, std::int64_t align) const {
  if (m_failed || !anyClaimed()) return 0;
  const int gap = largestGap();
  if (gap != kNone) return part(gap).left();
  const int busy = busiestClaimed();
  if (busy == kNone) return 0;
  const SlicePart& p = part(busy);
  const std::int64_t point = SplitPoint(p.reserved, p.limit, minimum, align);
  return point == kNone ? 0 : p.limit + 1 - point;
}

int SliceParts::takeHelp(std::int64_t minimum, std::int64_t align) {
  if (m_failed || !anyClaimed()) return kNone;
  const int gap = largestGap();
  if (gap != kNone) {
    m_parts[static_cast<std::size_t>(gap)].claimed = true;
    return gap;
  }
  const int busy = busiestClaimed();
  if (busy == kNone) return kNone;
  SlicePart& owner = m_parts[static_cast<std::size_t>(busy)];
  const std::int64_t point = SplitPoint(owner.reserved, owner.limit, minimum, align);
  if (point == kNone) return kNone;
  const SlicePart helper{point, owner.limit, point, point, true};
  owner.limit = point - 1;
  m_parts.push_back(helper);
  const int index = static_cast<int>(m_parts.size()) - 1;
  const auto at = std::find(m_order.begin(), m_order.end(), busy);
  m_order.insert(at + 1, index);
  return index;
}

std::int64_t SliceParts::reserve(int index, std::int64_t n, std::int64_t& at) {
  SlicePart& p = m_parts[static_cast<std::size_t>(index)];
  at = p.reserved;
  const std::int64_t room = std::max<std::int64_t>(p.limit + 1 - p.reserved, 0);
  const std::int64_t allowed = std::min(room, n);
  p.reserved += allowed;
  return allowed;
}

void SliceParts::commit(int index, std::int64_t written) {
  SlicePart& p = m_parts[static_cast<std::size_t>(index)];
  p.writePos += written;
  // A short write gives back what it did not cover.
  p.reserved = p.writePos;
}

int SliceParts::endFetch(int index, bool ok, int code, bool& lastOut) {
  m_parts[static_cast<std::size_t>(index)].claimed = false;
  if (!ok && !m_failed) {
    m_failed = true;
    m_failCode = code;
  }
  const int next = m_failed ? kNone : claimGap();
  lastOut = next == kNone && !anyClaimed();
  return next;
}

std::int64_t SliceParts::frontier() const {
  if (m_order.empty()) return 0;
  std::int64_t at = part(m_order.front()).begin;
  for (const int i : m_order) {
    const SlicePart& p = part(i);
    if (p.begin != at) break;
    at = p.writePos;
    if (!p.filled()) break;
  }
  return at;
}

std::int64_t SliceParts::bytesAhead() const {
  if (m_order.empty()) return 0;
  std::int64_t written = 0;
  for (const SlicePart& p : m_parts) written += p.writePos - p.begin;
  return written - (frontier() - part(m_order.front()).begin);
}

bool SliceParts::complete() const {
  return std::all_of(m_parts.begin(), m_parts.end(), [](const SlicePart& p) { return p.filled(); });
}

bool SliceParts::anyClaimed() const {
  return std::any_of(m_parts.begin(), m_parts.end(), [](const SlicePart& p) { return p.claimed; });
}
