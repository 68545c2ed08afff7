#include "private_etc_dhcp.h"

#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/vfs.h>

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
