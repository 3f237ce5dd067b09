// Loads and saves the settings record; every failure is silent and falls back to defaults or memory.
#include "app/settings.h"

#include <cstring>

#include "engine/jobstate.h"
#include "os/os.h"
#include "text/textops.h"

namespace {
constexpr int kFieldCount = 10;

uint32_t* fieldsOf(SettingsRecord& r, int i) {
    uint32_t* fields[kFieldCount] = {&r.wizardAtStart, &r.rebuildMethod, &r.outputLocation, &r.useChecksum,
                                     &r.useDescription, &r.alwaysOnTop,  &r.memoryMode,     &r.sliderMax,
                                     &r.recoveryCount,  &r.recoveryPercent};
    return fields[i];
}

void encode(uint8_t* bytes) {
    std::memset(bytes, 0, kSettingsRecordBytes);
    for (int i = 0; i < kFieldCount; i++) {
        uint32_t v = *fieldsOf(settings, i);
        for (int b = 0; b < 4; b++) bytes[i * 4 + b] = static_cast<uint8_t>(v >> (8 * b));
    }
}

void decode(const uint8_t* bytes) {
    for (int i = 0; i < kFieldCount; i++) {
        uint32_t v = 0;
        for (int b = 0; b < 4; b++) v |= static_cast<uint32_t>(bytes[i * 4 + b]) << (8 * b);
        *fieldsOf(settings, i) = v;
    }
}

// An empty path (a data folder too long for the name) opens nothing: the defaults stay.
void settingsPath(char* path) { buildPath(path, dataFolder, "dTarn.dat"); }
}  // namespace

void loadSettings() {
    char path[kTextBufferSize];
    settingsPath(path);
    FileHandle file = osOpenExisting(path, false);
    if (file != kNoFile) {
        // A short file replaces only the leading bytes of the record; the rest keeps its values.
        uint8_t bytes[kSettingsRecordBytes];
        encode(bytes);
        uint32_t got = 0;
        if (osSeek(file, 8)) {
            uint8_t read[kSettingsRecordBytes];
            osRead(file, read, kSettingsRecordBytes, &got);
            std::memcpy(bytes, read, got);
        }
        osClose(file);
        decode(bytes);
    } else {
        settings.wizardAtStart = 0;
        settings.rebuildMethod = 0;
        settings.outputLocation = 2;
        settings.useChecksum = 1;
        settings.alwaysOnTop = 0;
        settings.memoryMode = 2;
    }
    if (settings.outputLocation > 3) settings.outputLocation = 2;
    if (settings.memoryMode > 2) settings.memoryMode = 2;
    if (settings.rebuildMethod > 1) settings.rebuildMethod = 0;
    // Bytes another program may have left in what was reserved mean no volumes rather than a thousand of them.
    if (settings.recoveryPercent > 1 || settings.recoveryCount > (settings.recoveryPercent ? 100u : 32768u))
        settings.recoveryCount = settings.recoveryPercent = 0;
}

void saveSettings() {
    char path[kTextBufferSize];
    settingsPath(path);
    FileHandle file = osCreateTruncate(path, 0);
    if (file == kNoFile) return;
    uint8_t bytes[kSettingsFileSize];
    std::memcpy(bytes, "TARN1500", 8);
    encode(bytes + 8);
    uint32_t put = 0;
    osWrite(file, bytes, kSettingsFileSize, &put);
    osClose(file);
}
