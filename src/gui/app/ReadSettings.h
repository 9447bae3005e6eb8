#pragma once
// How the wizard reads a medium, as the user set it in the Settings dialog and the application's
// settings keep it: for now the time spent going back to unreadable areas. Every page that
// prepares a sector source for a scan applies them.

class PositionedSource;

/// Seconds the source may spend, over a run, reading failed pieces again (default: the sector
/// source's own, as on the command line).
double retryTimeSetting();
void setRetryTimeSetting(double seconds);

/// Gives source the user's read settings; called before a scan reads it.
void applyReadSettings(PositionedSource& source);
