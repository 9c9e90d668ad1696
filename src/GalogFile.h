#pragma once
// "galog.json": the local date of the last day the program set its base
// information ("year", "month", "day") and the last program version that
// reported ("version"). Each writer reads the whole object, changes its own
// members and replaces the file atomically, so the other writer's members
// survive. A file that cannot be parsed counts as an empty object.
#include <string>

struct CalendarDay {
  int year = 0;
  int month = 0;
  int day = 0;
};

CalendarDay LocalToday();

// True, and today stored, when the file does not hold today's date.
bool MarkRunDay(const std::string& path, const CalendarDay& today);
// Stores version unless the file already holds it as its "version" text.
void RecordVersion(const std::string& path, const std::string& version);
