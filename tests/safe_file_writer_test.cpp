// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "common/Error.h"
#include "fileutil/SafeFileWriter.h"
#include "support/TestSupport.h"

namespace kelvarin {
namespace {

using test::TempDir;

const std::string kOld = "old drawing";
const std::string kNew(300 << 10, 'n');  // several buffers' worth

// Calls that fail as a full or broken disk would.
int failingSync(int) {
    errno = EIO;
    return -1;
}
int failingClose(int descriptor) {
    ::close(descriptor);
    errno = EIO;
    return -1;
}
int failingLink(int, const char*, int, const char*, int) {
    errno = ENOSPC;
    return -1;
}
int failingRename(const char*, const char*) {
    errno = EIO;
    return -1;
}
ssize_t failingWrite(int, const void*, size_t) {
    errno = ENOSPC;
    return -1;
}
int failingChangeMode(int, mode_t) {
    errno = EPERM;
    return -1;
}
// A file system without unnamed files.
int openWithoutUnnamedFiles(const char* path, int flags, mode_t mode) {
    if ((flags & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return ::open(path, flags, mode);
}
// Linking through /proc fails, as where it is not mounted.
int linkWithoutProc(int fromDirectory, const char* from, int toDirectory, const char* to, int flags) {
    if ((flags & AT_SYMLINK_FOLLOW) != 0) {
        errno = ENOENT;
        return -1;
    }
    return ::linkat(fromDirectory, from, toDirectory, to, flags);
}

// A folder that takes no new files.
std::string closedFolder;
int openWithoutCreating(const char* path, int flags, mode_t mode) {
    const bool creates = (flags & O_TMPFILE) == O_TMPFILE || (flags & O_CREAT) != 0;
    if (creates && std::string(path).rfind(closedFolder, 0) == 0) {
        errno = EACCES;
        return -1;
    }
    return ::open(path, flags, mode);
}
int openWithoutCreatingOrUnnamedFiles(const char* path, int flags, mode_t mode) {
    if ((flags & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return openWithoutCreating(path, flags, mode);
}
int makeNoTemporary(char* pattern, int flags) {
    if (std::string(pattern).rfind(closedFolder, 0) == 0) {
        errno = EACCES;
        return -1;
    }
    return ::mkostemp(pattern, flags);
}

ino_t inodeOf(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 ? status.st_ino : 0;
}

void writeAll(const std::string& path, const FileSystemCalls& calls) {
    SafeFileWriter writer(path, calls);
    for (std::size_t done = 0; done < kNew.size(); done += 1000) {
        writer.write(std::string_view(kNew).substr(done, 1000));
    }
    writer.commit();
}

TEST(safe_file_writer_faults, every_failing_call_keeps_the_old_file_and_leaves_nothing) {
    struct Case {
        const char* name;
        void (*breakCall)(FileSystemCalls&);
        ErrorCode expected;
    };
    const Case cases[] = {
        {"write", [](FileSystemCalls& c) { c.writeBytes = failingWrite; }, ErrorCode::DiskFull},
        {"fchmod", [](FileSystemCalls& c) { c.changeMode = failingChangeMode; }, ErrorCode::PermissionDenied},
        {"fsync", [](FileSystemCalls& c) { c.sync = failingSync; }, ErrorCode::DeviceIo},
        {"link", [](FileSystemCalls& c) { c.linkAt = failingLink; }, ErrorCode::DiskFull},
        {"close", [](FileSystemCalls& c) { c.closeFile = failingClose; }, ErrorCode::DeviceIo},
        {"rename", [](FileSystemCalls& c) { c.renameFile = failingRename; }, ErrorCode::DeviceIo},
    };
    for (const bool unnamed : {true, false}) {
        for (const Case& c : cases) {
            if (!unnamed && std::string(c.name) == "link") {
                continue;  // a named temporary file is never linked
            }
            SCOPED_TRACE(std::string(c.name) + (unnamed ? " (unnamed temporary file)" : " (named temporary file)"));
            TempDir dir;
            const std::string path = dir.file("out.dxf");
            test::writeBytes(path, kOld);
            FileSystemCalls calls = FileSystemCalls::system();
            if (!unnamed) {
                calls.openFile = openWithoutUnnamedFiles;
            }
            c.breakCall(calls);
            try {
                writeAll(path, calls);
                ADD_FAILURE() << "no failure reported";
            } catch (const KelvarinError& error) {
                EXPECT_EQ(error.code(), c.expected);
            }
            EXPECT_EQ(test::readBytes(path), kOld);
            EXPECT_EQ(test::filesIn(dir.path()), std::vector<std::string>{"out.dxf"});
        }
    }
}

// Without leave to replace, a file that appears while the new one is written is kept, and the new one
// is discarded.
TEST(safe_file_writer_faults, a_file_made_meanwhile_is_not_replaced_without_leave) {
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed temporary file" : "named temporary file");
        TempDir dir;
        const std::string path = dir.file("out.dxf");
        FileSystemCalls calls = FileSystemCalls::system();
        if (!unnamed) {
            calls.openFile = openWithoutUnnamedFiles;
        }
        SafeFileWriter writer(path, calls, false);
        writer.write(kNew);
        test::writeBytes(path, kOld);
        try {
            writer.commit();
            ADD_FAILURE() << "the file made meanwhile was replaced";
        } catch (const KelvarinError& error) {
            EXPECT_EQ(error.systemErrorNumber(), EEXIST);
        }
        EXPECT_EQ(test::readBytes(path), kOld);
        EXPECT_THROW(SafeFileWriter(path, calls, false), KelvarinError);
        EXPECT_EQ(test::filesIn(dir.path()), std::vector<std::string>{"out.dxf"});
    }
}

TEST(safe_file_writer_faults, falls_back_when_unnamed_files_cannot_be_used) {
    TempDir dir;
    const std::string path = dir.file("out.dxf");
    test::writeBytes(path, kOld);
    FileSystemCalls calls = FileSystemCalls::system();
    calls.openFile = openWithoutUnnamedFiles;
    {
        SafeFileWriter writer(path, calls);
        writer.write("x");
        // The temporary file is named from the start, with a short hidden name.
        const auto names = test::filesIn(dir.path());
        ASSERT_EQ(names.size(), 2u);
        const std::string temporary = names[0] == "out.dxf" ? names[1] : names[0];
        EXPECT_EQ(temporary.rfind(".kelvarin-", 0), 0u) << temporary;
        EXPECT_EQ(temporary.size(), 16u);
    }
    writeAll(path, calls);
    EXPECT_EQ(test::readBytes(path), kNew);

    if (geteuid() == 0) {  // only a privileged user may link a descriptor without /proc
        calls = FileSystemCalls::system();
        calls.linkAt = linkWithoutProc;
        test::writeBytes(path, kOld);
        writeAll(path, calls);
        EXPECT_EQ(test::readBytes(path), kNew);
    }
    EXPECT_EQ(test::filesIn(dir.path()), std::vector<std::string>{"out.dxf"});
}

TEST(safe_file_writer_faults, a_folder_that_takes_no_new_files_gets_the_file_written_in_place) {
    for (const bool unnamedFiles : {true, false}) {
        SCOPED_TRACE(unnamedFiles ? "unnamed files" : "no unnamed files");
        TempDir dir;
        closedFolder = dir.path();
        const std::string path = dir.file("out.dxf");
        test::writeBytes(path, kOld);
        chmod(path.c_str(), 0640);
        const ino_t inode = inodeOf(path);
        FileSystemCalls calls = FileSystemCalls::system();
        calls.openFile = unnamedFiles ? openWithoutCreating : openWithoutCreatingOrUnnamedFiles;
        calls.makeTemporary = makeNoTemporary;
        // The new file is complete elsewhere before the old one is touched: a full disk keeps it.
        FileSystemCalls fullDisk = calls;
        fullDisk.writeBytes = failingWrite;
        EXPECT_THROW(writeAll(path, fullDisk), KelvarinError);
        EXPECT_EQ(test::readBytes(path), kOld);
        writeAll(path, calls);
        EXPECT_EQ(test::readBytes(path), kNew);
        EXPECT_EQ(inodeOf(path), inode);  // the same file, overwritten
        struct stat status {};
        ASSERT_EQ(stat(path.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0640u);
        EXPECT_EQ(test::filesIn(dir.path()), std::vector<std::string>{"out.dxf"});

        // Only an existing file: a new one cannot be made there.
        try {
            writeAll(dir.file("new.dxf"), calls);
            ADD_FAILURE() << "a new file was written";
        } catch (const KelvarinError& error) {
            EXPECT_EQ(error.code(), ErrorCode::PermissionDenied);
        }
        EXPECT_EQ(test::filesIn(dir.path()), std::vector<std::string>{"out.dxf"});
    }
}

// The same with real permissions: a user other than the folder's owner, in a folder he may only read.
TEST(safe_file_writer_faults, a_folder_without_write_permission_gets_the_file_written_in_place) {
    TempDir dir;
    const std::string path = dir.file("out.dxf");
    test::writeBytes(path, kOld);
    const ino_t inode = inodeOf(path);
    ASSERT_EQ(chmod(path.c_str(), 0666), 0);
    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(2);
        }
        try {
            writeAll(path, FileSystemCalls::system());
            _exit(0);
        } catch (const KelvarinError&) {
            _exit(1);
        }
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    chmod(dir.path().c_str(), 0700);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(test::readBytes(path), kNew);
    EXPECT_EQ(inodeOf(path), inode);
    EXPECT_EQ(test::filesIn(dir.path()), std::vector<std::string>{"out.dxf"});
}

// A writer in a child process, killed at some point of its work: the target is then the old file or the
// new one, complete. A kill between naming the temporary file and renaming it can leave that file; the
// next write of the target removes it.
TEST(safe_file_writer_faults, a_killed_writer_leaves_the_old_or_the_new_file) {
    const std::string big(8 << 20, 'b');
    for (const bool unnamed : {true, false}) {
        FileSystemCalls calls = FileSystemCalls::system();
        if (!unnamed) {
            calls.openFile = openWithoutUnnamedFiles;
        }
        int oldSeen = 0;
        int leftSeen = 0;
        for (int round = 0; round < 12; ++round) {
            SCOPED_TRACE((unnamed ? "unnamed, round " : "named, round ") + std::to_string(round));
            TempDir dir;
            const std::string path = dir.file("out.dxf");
            test::writeBytes(path, kOld);
            int ready[2];
            ASSERT_EQ(pipe(ready), 0);
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                close(ready[0]);
                SafeFileWriter writer(path, calls);
                writer.write(std::string_view(big).substr(0, 1 << 20));
                const char started = 's';
                (void)!::write(ready[1], &started, 1);
                writer.write(std::string_view(big).substr(1 << 20));
                writer.commit();
                _exit(0);
            }
            close(ready[1]);
            char started = 0;
            ASSERT_EQ(read(ready[0], &started, 1), 1);  // the child is writing
            close(ready[0]);
            std::this_thread::sleep_for(std::chrono::milliseconds(round * round));
            kill(child, SIGKILL);
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            const std::string contents = test::readBytes(path);
            EXPECT_TRUE(contents == kOld || contents == big) << contents.size() << " bytes";
            oldSeen += contents == kOld ? 1 : 0;
            const auto names = test::filesIn(dir.path());
            leftSeen += names.size() > 1 ? 1 : 0;
            for (const std::string& name : names) {
                EXPECT_TRUE(name == "out.dxf" || name.rfind(".kelvarin-", 0) == 0) << name;
            }
            writeAll(path, calls);
            EXPECT_EQ(test::readBytes(path), kNew);
            EXPECT_EQ(test::filesIn(dir.path()), std::vector<std::string>{"out.dxf"});
        }
        EXPECT_GT(oldSeen, 0);  // at least one kill came during the writing
        if (!unnamed) {
            EXPECT_GT(leftSeen, 0);  // a named temporary file exists while writing: its removal was tested
        }
    }
}

// A second writer of the same target leaves the first one's temporary file alone: both complete, and
// the later commit wins.
TEST(safe_file_writer_faults, two_writers_of_one_target_both_complete) {
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed temporary files" : "named temporary files");
        FileSystemCalls calls = FileSystemCalls::system();
        if (!unnamed) {
            calls.openFile = openWithoutUnnamedFiles;
        }
        TempDir dir;
        const std::string path = dir.file("out.dxf");
        test::writeBytes(path, kOld);
        SafeFileWriter first(path, calls);
        first.write("first");
        SafeFileWriter second(path, calls);
        second.write("second");
        second.commit();
        EXPECT_EQ(test::readBytes(path), "second");
        first.commit();
        EXPECT_EQ(test::readBytes(path), "first");
        EXPECT_EQ(test::filesIn(dir.path()), std::vector<std::string>{"out.dxf"});
    }
}

}  // namespace
}  // namespace kelvarin
