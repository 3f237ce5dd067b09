// The file layer of the set core on Win32: handles, positional NtReadFile/NtWriteFile, sparse ranges, renames.
#include <windows.h>
#include <winioctl.h>
#include <winternl.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>

#include "os/files.h"
#include "os/widetext_win32.h"

namespace {
HANDLE h(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
intptr_t wrap(HANDLE handle) { return handle == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<intptr_t>(handle); }

// Positional reads and writes go to the system's own calls: ReadFile and WriteFile with an OVERLAPPED ask for a
// completion notice, which costs a round trip to the system's server under Wine for every chunk.
extern "C" NTSTATUS NTAPI NtReadFile(HANDLE, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK, PVOID, ULONG,
                                     PLARGE_INTEGER, PULONG);
extern "C" NTSTATUS NTAPI NtWriteFile(HANDLE, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK, PVOID, ULONG,
                                      PLARGE_INTEGER, PULONG);
constexpr NTSTATUS kEndOfFile = static_cast<NTSTATUS>(0xC0000011);

// Bytes moved at offset, 0 at the end of the file, -1 with the error set.
int64_t moveAt(HANDLE file, void* buffer, DWORD count, uint64_t offset, bool write) {
    IO_STATUS_BLOCK io{};
    LARGE_INTEGER where;
    where.QuadPart = static_cast<LONGLONG>(offset);
    const NTSTATUS status = write ? NtWriteFile(file, nullptr, nullptr, nullptr, &io, buffer, count, &where, nullptr)
                                  : NtReadFile(file, nullptr, nullptr, nullptr, &io, buffer, count, &where, nullptr);
    if (status == kEndOfFile && !write) return 0;
    if (status < 0) {
        SetLastError(RtlNtStatusToDosError(status));
        return -1;
    }
    return static_cast<int64_t>(io.Information);
}

// A backslash can be the second byte of a code page 936 character: separators are found character by character.
bool leadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
std::vector<size_t> separatorsOf(const std::string& path) {
    std::vector<size_t> found;
    for (size_t i = 0; i < path.size(); i++) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (leadByte(c)) {
            i++;
        } else if (c == '\\' || c == '/') {
            found.push_back(i);
        }
    }
    return found;
}
bool isFolder(const std::string& path) {
    DWORD a = GetFileAttributesW(osSystemPath(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}
}  // namespace

FileStatus osLastFileError() {
    FileStatus status;
    const DWORD code = GetLastError();
    status.native = static_cast<int>(code);
    switch (code) {
        case ERROR_SUCCESS: status.what = FileError::None; break;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: status.what = FileError::NotFound; break;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: status.what = FileError::Exists; break;
        case ERROR_INVALID_PARAMETER:
        case ERROR_DIRECTORY: status.what = FileError::NotRegular; break;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: status.what = FileError::NoSpace; break;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_WRITE_PROTECT: status.what = FileError::Denied; break;
        case ERROR_FILENAME_EXCED_RANGE: status.what = FileError::TooLong; break;
        default: status.what = FileError::Other; break;
    }
    return status;
}

void osSetFileError(FileError what) {
    DWORD code = ERROR_GEN_FAILURE;
    switch (what) {
        case FileError::None: code = ERROR_SUCCESS; break;
        case FileError::NotFound: code = ERROR_FILE_NOT_FOUND; break;
        case FileError::Exists: code = ERROR_FILE_EXISTS; break;
        case FileError::NotRegular: code = ERROR_DIRECTORY; break;
        case FileError::IsFolder: code = ERROR_DIRECTORY; break;
        case FileError::NoSpace: code = ERROR_DISK_FULL; break;
        case FileError::Denied: code = ERROR_ACCESS_DENIED; break;
        case FileError::TooLong: code = ERROR_FILENAME_EXCED_RANGE; break;
        case FileError::Other: code = ERROR_GEN_FAILURE; break;
    }
    SetLastError(code);
}

std::string osFileErrorText(const FileStatus& status) {
    wchar_t text[512] = L"";
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(status.native), 0, text, 512, nullptr);
    while (n > 0 && (text[n - 1] == L'\r' || text[n - 1] == L'\n' || text[n - 1] == L' ')) text[--n] = 0;
    return osNarrowText(text);
}

OsFile& OsFile::operator=(OsFile&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = other.handle_;
        other.handle_ = -1;
    }
    return *this;
}

OsFile::~OsFile() { close(); }

bool OsFile::close() {
    if (handle_ == -1) return true;
    BOOL ok = CloseHandle(h(handle_));
    handle_ = -1;
    return ok != 0;
}

OsFile OsFile::openRead(const std::string& path) {
    OsFile file(wrap(CreateFileW(osSystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr)));
    // A folder is refused by the open itself; it is asked for only then, as each question costs Wine a lookup.
    if (!file.valid() && isFolder(path)) SetLastError(ERROR_DIRECTORY);
    if (file.valid() && GetFileType(h(file.handle_)) != FILE_TYPE_DISK) {
        file.close();
        SetLastError(ERROR_DIRECTORY);
    }
    return file;
}

OsFile OsFile::openUpdate(const std::string& path) {
    return OsFile(wrap(CreateFileW(osSystemPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
}

// DELETE access, so that the commit can rename the file through this handle.
OsFile OsFile::createNew(const std::string& path, unsigned) {
    return OsFile(wrap(CreateFileW(osSystemPath(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                                   nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr)));
}

bool OsFile::settleForRename() { return true; }

bool OsFile::renameTo(const std::string& from, const std::string& to) {
    if (valid()) {
        // The whole path: a name alone is taken as relative to the current folder.
        const std::wstring name = osSystemPath(to);
        std::vector<uint8_t> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
        auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
        info->ReplaceIfExists = TRUE;
        info->RootDirectory = nullptr;
        info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
        std::memcpy(info->FileName, name.data(), info->FileNameLength);
        const bool renamed = SetFileInformationByHandle(h(handle_), FileRenameInfo, info,
                                                        static_cast<DWORD>(buffer.size())) != 0;
        close();
        if (renamed) return true;
    }
    // By name: a file opened without DELETE access, or a system that refused the rename above.
    close();
    return osRenameReplacing(from, to);
}

OsFile OsFile::adopt(intptr_t handle) {
    HANDLE copy = INVALID_HANDLE_VALUE;
    if (!DuplicateHandle(GetCurrentProcess(), h(handle), GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return OsFile();
    return OsFile(wrap(copy));
}

uint64_t OsFile::length() const {
    LARGE_INTEGER size;
    return GetFileSizeEx(h(handle_), &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
}

bool OsFile::holed() const {
    // The basic record only: GetFileInformationByHandle also asks the volume for its serial number, which costs a
    // round trip to the mount manager under Wine, for every piece of a set.
    FILE_BASIC_INFO info;
    return GetFileInformationByHandleEx(h(handle_), FileBasicInfo, &info, sizeof info) &&
           (info.FileAttributes & FILE_ATTRIBUTE_SPARSE_FILE);
}

unsigned OsFile::modeForCopies() const { return 0666; }

int64_t OsFile::readAt(uint8_t* buffer, size_t count, uint64_t offset) const {
    size_t done = 0;
    while (done < count) {
        const DWORD want = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
        const int64_t got = moveAt(h(handle_), buffer + done, want, offset + done, false);
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    return static_cast<int64_t>(done);
}

int64_t OsFile::readNext(uint8_t* buffer, size_t count) const {
    DWORD got = 0;
    if (!ReadFile(h(handle_), buffer, static_cast<DWORD>(std::min<size_t>(count, 1u << 30)), &got, nullptr))
        return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
    return got;
}

bool OsFile::writeAt(const uint8_t* bytes, size_t count, uint64_t offset) const {
    size_t done = 0;
    while (done < count) {
        const DWORD want = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
        const int64_t put = moveAt(h(handle_), const_cast<uint8_t*>(bytes) + done, want, offset + done, true);
        if (put < 0) return false;
        if (put == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        done += static_cast<size_t>(put);
    }
    return true;
}

bool OsFile::writeNext(const uint8_t* bytes, size_t count) const {
    size_t done = 0;
    while (done < count) {
        DWORD put = 0;
        if (!WriteFile(h(handle_), bytes + done, static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30)), &put,
                       nullptr))
            return false;
        if (put == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        done += put;
    }
    return true;
}

Extent OsFile::extentAt(uint64_t offset, uint64_t limit) const {
    // Only a sparse file has holes; the file system lists the ranges it has allocated.
    if (!holed() || limit == 0) return {false, limit};
    FILE_ALLOCATED_RANGE_BUFFER asked, found[1];
    asked.FileOffset.QuadPart = static_cast<LONGLONG>(offset);
    asked.Length.QuadPart = static_cast<LONGLONG>(limit);
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(h(handle_), FSCTL_QUERY_ALLOCATED_RANGES, &asked, sizeof asked, found, sizeof found,
                              &returned, nullptr);
    if (!ok && GetLastError() != ERROR_MORE_DATA) return {false, limit};
    if (returned < sizeof found[0]) return {offset + limit <= length(), limit};  // nothing allocated: a hole
    const uint64_t start = static_cast<uint64_t>(found[0].FileOffset.QuadPart);
    const uint64_t end = start + static_cast<uint64_t>(found[0].Length.QuadPart);
    if (start > offset) return {true, std::min<uint64_t>(limit, start - offset)};
    return {false, std::min<uint64_t>(limit, end > offset ? end - offset : limit)};
}

bool OsFile::setLength(uint64_t length) const {
    FILE_END_OF_FILE_INFO end;
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(length);
    return SetFileInformationByHandle(h(handle_), FileEndOfFileInfo, &end, sizeof end) != 0;
}

bool OsFile::reserve(uint64_t length, bool allocate) const {
    if (length == 0) return true;
    if (allocate) {
        FILE_ALLOCATION_INFO room;
        room.AllocationSize.QuadPart = static_cast<LONGLONG>(length);
        if (!SetFileInformationByHandle(h(handle_), FileAllocationInfo, &room, sizeof room) &&
            GetLastError() == ERROR_DISK_FULL)
            return false;
    }
    return setLength(length);
}

bool OsFile::lockExclusive() const {
    OVERLAPPED place{};
    return LockFileEx(h(handle_), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &place) != 0;
}

void OsFile::allowHoles() const {
    DWORD returned = 0;
    DeviceIoControl(h(handle_), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
}

CopyResult osCopyRange(const OsFile& in, uint64_t inOffset, const OsFile& out, uint64_t outOffset, uint64_t count,
                       uint8_t* buffer, size_t bufferSize, void (*advance)(void*, uint64_t), void* context) {
    const bool positioned = outOffset != UINT64_MAX;
    while (count > 0) {
        size_t want = count < bufferSize ? static_cast<size_t>(count) : bufferSize;
        int64_t got = in.readAt(buffer, want, inOffset);
        if (got < 0) return CopyResult::ReadFailed;
        if (got == 0) return CopyResult::ShortSource;
        const size_t n = static_cast<size_t>(got);
        if (!(positioned ? out.writeAt(buffer, n, outOffset) : out.writeNext(buffer, n))) return CopyResult::WriteFailed;
        inOffset += n;
        if (positioned) outOffset += n;
        count -= n;
        advance(context, n);
    }
    return CopyResult::Done;
}

PageBuffer::PageBuffer(size_t size) : bytes_(new uint8_t[size]), size_(size), mapped_(false) {}
PageBuffer::~PageBuffer() { delete[] bytes_; }

EntryKind osEntryKind(const std::string& path) {
    DWORD a = GetFileAttributesW(osSystemPath(path).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return EntryKind::None;
    if (a & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::Folder;
    if (a & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) return EntryKind::Other;
    return EntryKind::File;
}

bool osRenameReplacing(const std::string& from, const std::string& to) {
    return MoveFileExW(osSystemPath(from).c_str(), osSystemPath(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool osRemoveFile(const std::string& path) { return DeleteFileW(osSystemPath(path).c_str()) != 0; }

std::vector<std::string> osListFolder(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(osSystemPath(folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (std::wcscmp(found.cFileName, L".") != 0 && std::wcscmp(found.cFileName, L"..") != 0)
            names.push_back(osNarrowText(found.cFileName));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

bool osMakeFolders(const std::string& folder, std::string& top) {
    top.clear();
    std::string deepest;
    std::vector<size_t> stops = separatorsOf(folder);
    stops.push_back(folder.size());
    for (size_t end : stops) {
        const std::string step = folder.substr(0, end);
        // Drive roots ("C:"), a UNC server and share, and "a\\b" steps are there or not ours to make.
        if (step.empty() || step.back() == ':' || step.back() == '\\' || step.back() == '/' || isFolder(step)) continue;
        if (step.size() >= 2 && step[0] == '\\' && step[1] == '\\' && separatorsOf(step).size() < 4) continue;
        if (CreateDirectoryW(osSystemPath(step).c_str(), nullptr)) {
            if (top.empty()) top = step;
            deepest = step;
            continue;
        }
        const DWORD error = GetLastError() == ERROR_ALREADY_EXISTS ? ERROR_DIRECTORY : GetLastError();
        if (!top.empty()) osRemoveMadeFolders(deepest.c_str(), top.c_str());
        top.clear();
        SetLastError(error);
        return false;
    }
    return isFolder(folder);
}

void osRemoveMadeFolders(const char* folder, const char* top) {
    std::string path = folder;
    const size_t topLength = std::strlen(top);
    if (topLength == 0) return;
    while (RemoveDirectoryW(osSystemPath(path).c_str())) {
        const std::vector<size_t> stops = separatorsOf(path);
        if (stops.empty() || stops.back() < topLength) return;
        path.resize(stops.back());
    }
}

bool osRenamesOpenFiles() { return true; }

uint32_t osFilesToSpare() { return 16 * 1024 * 1024; }  // Windows gives a process millions of handles

void osRandomBytes(uint8_t* bytes, size_t count) {
    static LONG counter = 0;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    uint64_t state = static_cast<uint64_t>(now.QuadPart) ^ (static_cast<uint64_t>(GetCurrentProcessId()) << 32) ^
                     static_cast<uint64_t>(InterlockedIncrement(&counter)) * 0x9E3779B97F4A7C15ULL;
    for (size_t i = 0; i < count; i++) {
        state ^= state >> 33;
        state *= 0xFF51AFD7ED558CCDULL;
        state ^= state >> 29;
        bytes[i] = static_cast<uint8_t>(state);
    }
}

unsigned osProcessorsAllowed() {
    DWORD_PTR process = 0, system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || process == 0) return 1;
    unsigned count = 0;
    for (; process != 0; process &= process - 1) count++;
    return count;
}
