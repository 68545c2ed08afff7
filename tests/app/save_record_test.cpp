// The "Save Record…" buttons' work once a folder is chosen: both files, or a red message naming
// the file and nothing left behind; the camera list stays as it was either way.
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/gui_fixture.h"
#include "app/process_objects.h"
#include "app/save_record.h"
#include "network/NetworkConfig.h"
#include "support/folder_entries.h"

namespace {

class SaveRecordTest : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        char pattern[] = "/tmp/save-record-XXXXXX";
        folder = mkdtemp(pattern);
        // Cameras that need a password: the record asks none of them anything.
        for (int i = 1; i <= 3; ++i) {
            Gtk::TreeModel::Row row = *m_camRefTreeModel->append();
            row[m_CameraColumns.c1] = i;
            row[m_CameraColumns.model] = i == 2 ? "=cmd|' /C calc'!A0" : "LAB-IPC-2100";
            row[m_CameraColumns.status] = "Need Password";
            row[m_CameraColumns.Mode] = "DHCP";
            row[m_CameraColumns.IP] = "192.168.1.10" + std::to_string(i);
            row[m_CameraColumns.MAC] = "02:00:00:00:00:0" + std::to_string(i);
            row[m_CameraColumns.Firmware] = "2.15.0";
            row[m_CameraColumns.Username] = "admin";
            row[m_CameraColumns.pw] = "Row-Secret-4826";
            // Find Ports found the first two, on the back panel's ports 6 and 16.
            if (i < 3)
                row[m_CameraColumns.port] = i == 1 ? "6" : "16";
        }
        nc.network1 = {true, true, "eth1", "192.168.1.1", "192.168.1.255", "255.255.255.0", "02:aa:00:00:00:01", {}};
        before = listText();
    }

    void TearDown() override { std::system(("rm -rf " + folder).c_str()); }

    std::string listText() const
    {
        std::string text;
        for (const Gtk::TreeModel::Row& row : m_camRefTreeModel->children())
            text += Glib::ustring(row[m_CameraColumns.IP]) + " " + Glib::ustring(row[m_CameraColumns.status]) +
                    " " + Glib::ustring(row[m_CameraColumns.pw]) + "\n";
        return text;
    }

    static bool red(Gtk::Label* label)
    {
        const Gdk::RGBA colour = label->get_style_context()->get_color(Gtk::STATE_FLAG_NORMAL);
        return colour.get_red() > 0.7 && colour.get_green() < 0.2 && colour.get_blue() < 0.2;
    }

    std::string folder;
    std::string before;
    NetworkConfig nc{"eth1", "eth0"};
};

}  // namespace

TEST_F(SaveRecordTest, BothFilesInTheFolderAndTheMessageNamesThem)
{
    save_record_to(folder, nc, label_record);
    const std::vector<std::string> names = namesIn(folder);
    ASSERT_EQ(names.size(), 2u);
    std::string csv, pdf;
    for (const std::string& name : names)
        (name.size() > 4 && name.compare(name.size() - 4, 4, ".csv") == 0 ? csv : pdf) = name;
    ASSERT_EQ(csv.rfind("cameras-", 0), 0u) << csv;
    EXPECT_EQ(csv.substr(0, csv.size() - 4), pdf.substr(0, pdf.size() - 4));

    std::ifstream file(folder + "/" + csv, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    EXPECT_NE(text.str().find("1,6,LAB-IPC-2100,Need Password,DHCP,192.168.1.101,,,,02:00:00:00:00:01,2.15.0\r\n"),
              std::string::npos) << text.str();
    EXPECT_NE(text.str().find("2,16,'=cmd|' /C calc'!A0,"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("3,,LAB-IPC-2100,"), std::string::npos) << text.str();
    EXPECT_EQ(text.str().find("Row-Secret-4826"), std::string::npos);

    const std::string message = label_record->get_text();
    EXPECT_NE(message.find(csv), std::string::npos) << message;
    EXPECT_NE(message.find(pdf), std::string::npos) << message;
    EXPECT_FALSE(red(label_record));
    EXPECT_EQ(listText(), before);
}

TEST_F(SaveRecordTest, PulledStickGivesARedMessageNamingTheFileAndKeepsTheList)
{
    const std::string gone = folder + "/stick";
    save_record_to(gone, nc, label_record_final);
    const std::string message = label_record_final->get_text();
    EXPECT_EQ(message.rfind("Could not save cameras-", 0), 0u) << message;
    EXPECT_NE(message.find(".csv in " + gone), std::string::npos) << message;
    EXPECT_TRUE(red(label_record_final));
    EXPECT_TRUE(namesIn(folder).empty());
    EXPECT_EQ(listText(), before);

    // A later save that works no longer shows the failure in red.
    save_record_to(folder, nc, label_record_final);
    EXPECT_EQ(label_record_final->get_text().rfind("Saved cameras-", 0), 0u);
    EXPECT_FALSE(red(label_record_final));
}

// In a child of its own (one thread, so it may take a mount namespace) the folder is a read-only
// tmpfs, as a write-protected stick is mounted: the red message, no file and no temporary. The
// child sends its verdict through a pipe and ends by SIGKILL, so that no exit-time leak check
// judges a copy of a process whose other threads it does not have.
TEST_F(SaveRecordTest, ReadOnlyFolderGivesARedMessageAndLeavesNothing)
{
    int verdict[2];
    ASSERT_EQ(pipe(verdict), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        char outcome = '0';
        if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", folder.c_str(), "tmpfs", MS_RDONLY, "size=1m") != 0) {
            outcome = '3';
        } else {
            save_record_to(folder, nc, label_record);
            const std::string message = label_record->get_text();
            const bool refused = message.rfind("Could not save cameras-", 0) == 0 &&
                                 message.find(".csv in " + folder) != std::string::npos &&
                                 message.find("Read-only file system") != std::string::npos;
            outcome = !refused ? '1' : !red(label_record) ? '2' : !namesIn(folder).empty() ? '4'
                      : listText() != before ? '5' : '0';
        }
        (void)!write(verdict[1], &outcome, 1);
        kill(getpid(), SIGKILL);
    }
    close(verdict[1]);
    char outcome = 'x';
    EXPECT_EQ(read(verdict[0], &outcome, 1), 1);
    close(verdict[0]);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(outcome, '0') << "1: no refusal naming the file, 2: not red, 3: no read-only mount, "
                               "4: something left, 5: the list changed";
}

TEST_F(SaveRecordTest, FolderChooserOpensWhereTheRecordGoesInFolderMode)
{
    const std::unique_ptr<Gtk::FileChooserDialog> chooser = make_record_folder_chooser();
    EXPECT_EQ(chooser->get_action(), Gtk::FILE_CHOOSER_ACTION_SELECT_FOLDER);
    chooser->show();
    run_until([&chooser] { return !chooser->get_current_folder().empty(); });
    EXPECT_EQ(chooser->get_current_folder(), record_start_folder());
    chooser->hide();
    // With no removable medium mounted, the home folder.
    EXPECT_TRUE(record_start_folder() == Glib::get_home_dir() || record_start_folder().rfind("/media/", 0) == 0 ||
                record_start_folder().rfind("/run/media/", 0) == 0)
        << record_start_folder();
}
