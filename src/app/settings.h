// The settings file dTarn.dat in the data folder: a fixed 58-byte layout.
#pragma once

constexpr int kSettingsFileSize = 58;
constexpr int kSettingsRecordBytes = 50;

void loadSettings();
void saveSettings();
