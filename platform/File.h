// The few file operations the core needs, on POSIX. A file handle is a file
// descriptor; kInvalidFile is both "none" and "failed".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

using FileHandle = int;
constexpr FileHandle kInvalidFile = -1;

// Opens a regular file for reading; anything else (a FIFO, socket, device or
// directory) is refused at once, never waited on. Other programs stay free to
// write, rename and delete the file meanwhile (POSIX never locks them out).
// Close-on-exec.
FileHandle OpenReadShared(const std::string& path);
// How many times this process has opened a file by name (both calls here):
// a file read through one descriptor is opened once, so that whoever checks
// it (a test, a trace) sees a name looked up again.
std::uint64_t OpensByName();
// Opens a regular file for reading and writing, creating it (mode 0644) when
// missing; refuses anything else as OpenReadShared does.
FileHandle OpenWritableCreate(const std::string& path);
bool CloseFile(FileHandle h);
// A second descriptor of the same open file (close-on-exec), for a reader that must be free to outlive the
// owner of the first; kInvalidFile when the system refuses.
FileHandle DuplicateFile(FileHandle h);

// Size of the open file in bytes, or -1 when it cannot be read.
std::int64_t FileSizeByHandle(FileHandle h);
// Lengthens (or shortens) the file to `size` bytes; new bytes read as zero.
bool SetFileLength(FileHandle h, std::uint64_t size);

// Maps the first `size` bytes of the file, shared, read-only or read-write.
// Null for a size of zero (as the platform refuses an empty mapping) or on
// failure. Mappings are registered with the truncation guard (see
// platform/SigbusGuard.h) so that another program shrinking the file cannot
// crash a reader.
std::uint8_t* MapFile(FileHandle h, std::uint64_t size, bool writable);
bool UnmapFile(std::uint8_t* view, std::uint64_t size);

// Holes: ranges of a sparse file that hold no data and read as zeros. The
// file system tells where they are (lseek SEEK_DATA / SEEK_HOLE, which moves
// the file offset of `h`); where it cannot, a file looks like data throughout.
//
// Offset of the file's first hole; its size when it has none (the end counts
// as a hole), INT64_MAX when that cannot be told.
std::int64_t FirstHole(FileHandle h);
// Whether [from, to) holds no data (a hole, or lies past the end of the file).
bool IsHole(FileHandle h, std::int64_t from, std::int64_t to);
// Start of the hole that holds the byte before `end`, not below `floor`;
// `end` itself when that byte holds data.
std::int64_t HoleStartBefore(FileHandle h, std::int64_t end, std::int64_t floor);

// Writes all `n` bytes at `offset` without moving the file offset; false
// when the system refuses part of them (a full disk among others).
bool WriteAt(FileHandle h, const void* data, std::uint64_t n, std::int64_t offset);

// Reads up to `n` bytes at `offset` without moving the file offset; returns
// how many were read (fewer at the end of the file, 0 on failure). It costs a
// copy but no page of the caller's mappings: a long scan stays out of memory.
std::uint64_t ReadAt(FileHandle h, std::uint8_t* buffer, std::uint64_t n, std::int64_t offset);

// The file's last modification, in seconds since 1970 (UTC); -1 when unknown.
std::int64_t FileModifiedTime(FileHandle h);

// An exclusive advisory lock on the whole file, shared by every process
// that asks for it; TryLockFile never waits.
enum class LockResult { Locked, Busy, Unsupported };
LockResult TryLockFile(FileHandle h);
void UnlockFile(FileHandle h);

// Absolute form of a path (without resolving symbolic links), for the
// watcher, which must know the file's directory even for "app.log".
std::string AbsolutePath(const std::string& path);
// The path with every symbolic link resolved, or empty when it cannot be.
std::string RealPath(const std::string& path);

// What a path leads to, symbolic links followed, found without opening it
// (opening a FIFO can wait for ever, opening a device can act on it):
// nothing at all, a regular file, or anything else (a FIFO, device, socket or
// folder, a link to one, a link to nothing, or a path that cannot be looked at).
enum class PathKind { Missing, RegularFile, Other };
PathKind KindOfPath(const std::string& path);

// Folders.
bool IsFolder(const std::string& path);
// The names in a folder (without "." and ".."), each with whether it names a regular file (links followed);
// empty when the folder cannot be read.
struct FolderEntry {
    std::string name;
    bool regular = false;
};
std::vector<FolderEntry> FolderEntries(const std::string& folder);
// A real folder (not a link to one) of this user that nobody else may write.
bool IsPrivateFolder(const std::string& path);
// Creates every missing folder of `path`, private to the user (mode 0700, as
// the XDG base directories ask). Failures show when the folder is looked at.
void MakeFolders(const std::string& path);

// The same without "." parts and repeated slashes, which never change the file
// named: the one spelling of a document's path. Symbolic links are not
// resolved and ".." is kept, since through a symlinked folder "dir/../x"
// names another file than its textual shortening would.
std::string CleanAbsolutePath(const std::string& path);

// The identity of the file a path names (symbolic links followed): two
// spellings name the same file exactly when their identities are equal.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileId&) const = default;
};
// False when the path cannot be looked at (missing, no permission).
bool GetFileId(const std::string& path, FileId& id);
// The identity of an open file; false when it cannot be read.
bool GetFileIdByHandle(FileHandle h, FileId& id);
// Whether the path names a regular file (links followed) of another identity
// than `id`: the name was given to another file (a log rotated by renaming or
// deleting and creating, a symbolic link pointed elsewhere). `other`, when
// given, receives that file's identity.
bool NamesAnotherFile(const std::string& path, const FileId& id, FileId* other = nullptr);

// Makes `target` stand for the file `source` is open on, as one atomic step,
// and closes `source` (left open on failure): whoever reads through `target` (another thread
// included) reads the new file from then on, and no descriptor is spent.
bool ReplaceHandle(FileHandle target, FileHandle source);

// A file in memory that no name leads to (memfd): it grows as it is written
// and goes with its last descriptor, never touching a disk. Read-write,
// close-on-exec; kInvalidFile when the system has none to give.
FileHandle CreateAnonymousFile(const char* name);

// Standard input, as the descriptor the process was started with.
constexpr FileHandle kStandardInput = 0;
// Reads what is there, up to `n` bytes, waiting up to `timeoutMs` for some to
// arrive: the count read, 0 at the end of the input, kReadTimedOut when
// nothing came in time, kReadFailed on an error. For pipes and terminals as
// for files (which never wait).
constexpr std::int64_t kReadTimedOut = -2;
constexpr std::int64_t kReadFailed = -1;
std::int64_t ReadSome(FileHandle h, std::uint8_t* buffer, std::uint64_t n, int timeoutMs);
// Whether the open file is a regular one (false for a pipe, a terminal, ...).
bool IsRegularFile(FileHandle h);

// Why a path cannot be opened as a file to view, in a few words for an error
// line ("No such file or directory", "Is a directory", "empty file", ...).
std::string DescribeOpenFailure(const std::string& path);

}  // namespace platform
