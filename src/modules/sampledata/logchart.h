#pragma once
// The chart of a run's process log: both channels' flows with the flow monitor's complaints
// marked on them, temperature and air pressure on axes of their own, over the entries' dates
// and times. Texts and numbers follow the program language.

#include "chartdata.h"
#include "sampledata.h"

// Series order: per drawn channel its flow line, then its marks (one series per flow-monitor
// code other than 0); then temperature and air pressure when the log has any.
TChartData BuildLogChart(const T_SAMPLEDATA& record);

// The x value of an entry: milliseconds since the epoch of its local date and time; false
// for an entry without a valid date or time.
bool LogEntryTime(const T_SAMPLELOG& entry, qint64& msecs);
