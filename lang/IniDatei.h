#pragma once
// The settings file: name=value lines read on first use and written once at
// program end when something changed.

#include <QString>
#include <QStringList>

// Value of the first line whose name matches (case-insensitive); empty when
// absent or the file could not be read.
QString ReadSetting(const QString &name);
// An empty value removes the name.
void WriteSetting(const QString &name, const QString &value);

// The settings file in use; it need not exist yet.
QString CurrentSettingsPath();

// Writes the file if a setting changed; the host calls it once at program end.
void SaveSettings();
bool SettingsModified();

// Tests: use this file instead of the program's, and forget everything read.
void SetSettingsPath(const QString &path);
void ResetSettings();
