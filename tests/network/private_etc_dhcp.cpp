#include "private_etc_dhcp.h"

#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include <cstdlib>
#include <fstream>

void mountPrivateEtcDhcp()
{
    ASSERT_EQ(unshare(CLONE_NEWNS), 0) << "needs root";
    ASSERT_EQ(mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
    ASSERT_EQ(mount("tmpfs", kEtcDhcp, "tmpfs", 0, "mode=0755"), 0);
    struct statfs fs {};
    ASSERT_EQ(statfs(kEtcDhcp, &fs), 0);
    ASSERT_EQ(fs.f_type, static_cast<decltype(fs.f_type)>(TMPFS_MAGIC));
}

void remountPrivateEtcDhcp(unsigned long flags, const std::string& options)
{
    ASSERT_EQ(mount(nullptr, kEtcDhcp, nullptr, MS_REMOUNT | flags, options.c_str()), 0);
}

ScriptOver::ScriptOver(const std::string& path, const std::string& body) : path_(path)
{
    char folder[] = "/tmp/script-over-XXXXXX";
    if (!mkdtemp(folder))
        ADD_FAILURE() << "no folder for the script";
    folder_ = folder;
    const std::string script = folder_ + "/script";
    std::ofstream(script) << "#!/bin/sh\n" << body << "\n";
    chmod(script.c_str(), 0755);
    EXPECT_EQ(mount(script.c_str(), path.c_str(), nullptr, MS_BIND, nullptr), 0) << path;
}

ScriptOver::~ScriptOver()
{
    // The window suite also runs in one process: later tests must find the real program again.
    umount2(path_.c_str(), MNT_DETACH);
    std::system(("rm -rf '" + folder_ + "'").c_str());
}
