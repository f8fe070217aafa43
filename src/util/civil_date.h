#pragma once

#include <QtGlobal>

// Proleptic Gregorian calendar date for a day count since 1970-01-01 and back;
// negative counts are days before 1970. Plain arithmetic, valid far beyond the
// years any report shows, and cheap enough for every visit of a large history.
void CivilFromDays(qint64 Days, int& Year, int& Month, int& Day);

// The day count since 1970-01-01 of a proleptic Gregorian date; the inverse
// of CivilFromDays for valid dates.
qint64 DaysFromCivil(int Year, int Month, int Day);
