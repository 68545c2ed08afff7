#include <unistd.h>

#include <vector>

#include "app/gui_fixture.h"
#include "app/process_objects.h"

using RegistryTest = GuiTest;

namespace {

struct Entry {
    const char* id;
    Gtk::Widget* widget;
};

// The pointer is null when the identifier is missing or names a widget of another class.
std::vector<Entry> registry()
{
    return {
        {"window_splash", window_splash}, {"window_main", window_main}, {"treeview1", m_TreeView},
        {"label_menu2", label_menu2}, {"label_menu3", label_menu3}, {"label_n1addr", label_n1addr},
        {"label_n2addr", label_n2addr}, {"label_startiperror", label_startiperror},
        {"label_endiperror", label_endiperror}, {"label_primarydnserror", label_primarydnserror},
        {"label_secondarydnserror", label_secondarydnserror},
        {"label_ipassignerror", label_ipassignerror}, {"label_change_pw_error", label_change_pw_error},
        {"label_enter_newpw", label_enter_newpw}, {"label_confirm_newpw", label_confirm_newpw},
        {"label_scanning", label_scanning}, {"label_record", label_record},
        {"label_record_final", label_record_final}, {"image_tooltip", image_tooltip},
        {"button_back", button_back}, {"button_apply", button_apply},
        {"button_ipassign", button_ipassign}, {"button_rb1_ipassign", button_rb1_ipassign},
        {"button_rb2_ipassign", button_rb2_ipassign},
        {"button_cancel_ipassign", button_cancel_ipassign},
        {"button_apply_ipassign", button_apply_ipassign}, {"button_connect_cam", button_connect_cam},
        {"button_open_register", button_open_register},
        {"button_cancel_register", button_cancel_register},
        {"button_change_password", button_change_password}, {"button_rescan", button_rescan},
        {"button_save_record", button_save_record},
        {"button_save_record_final", button_save_record_final},
        {"button_cancel_scan", button_cancel_scan}, {"button_apply_no", button_apply_no},
        {"button_apply_yes", button_apply_yes}, {"button_quit_no", button_quit_no},
        {"button_quit_yes", button_quit_yes}, {"dialog_ipassign", dialog_ipassign},
        {"dialog_quit", dialog_quit}, {"dialog_apply", dialog_apply},
        {"dialog_progress", dialog_progress}, {"switch_dhcp", switch_dhcp},
        {"spin_users", spin_users}, {"spin_lease", spin_lease}, {"entry_camID", entry_camID},
        {"entry_camPW", entry_camPW}, {"entry_camPW1", entry_camPW1}, {"entry_camPW2", entry_camPW2},
        {"box_currpw", box_currpw}, {"box_newpw", box_newpw},
        {"grid_authenticate", grid_authenticate}, {"grid_register", grid_register},
        {"entry_camaddr", entry_camaddr}, {"entry_camnetmask", entry_camnetmask},
        {"entry_camgateway", entry_camgateway}, {"entry_camdns", entry_camdns},
        {"entry_startip", entry_startip}, {"entry_endip", entry_endip},
        {"entry_primarydns", entry_primarydns}, {"entry_secondarydns", entry_secondarydns},
        {"stack_main", stack_main}, {"progressbar_cam", progressbar_cam},
        {"button_find_ports", button_find_ports}, {"dialog_find_ports", dialog_find_ports},
        {"dialog_find_ports_progress", dialog_find_ports_progress},
        {"label_find_ports_progress", label_find_ports_progress},
        {"progressbar_find_ports", progressbar_find_ports},
        {"button_cancel_find_ports", button_cancel_find_ports},
    };
}

}  // namespace

TEST_F(RegistryTest, EveryIdentifierResolvesWithItsClass)
{
    const auto entries = registry();
    EXPECT_EQ(entries.size(), 69u);
    for (const auto& entry : entries) {
        ASSERT_NE(entry.widget, nullptr) << entry.id;
        EXPECT_STREQ(gtk_buildable_get_name(GTK_BUILDABLE(entry.widget->gobj())), entry.id);
    }
    ASSERT_TRUE(m_camRefTreeModel);
    // The columns of the record: the rows' tooltips, then the ports Find Ports found.
    EXPECT_EQ(m_camRefTreeModel->get_n_columns(), 11);
    EXPECT_EQ(m_camRefTreeModel->get_column_type(0), G_TYPE_INT);
    for (int column = 1; column < 11; ++column)
        EXPECT_EQ(m_camRefTreeModel->get_column_type(column), G_TYPE_STRING) << column;
    EXPECT_EQ(m_TreeView->get_model(), Glib::RefPtr<Gtk::TreeModel>(m_camRefTreeModel));
    EXPECT_EQ(m_TreeView->get_tooltip_column(), m_CameraColumns.tooltip.index());
    EXPECT_TRUE(refTreeSelection);
}

TEST_F(RegistryTest, PicturesComeFromTheBundle)
{
    // No assets folder is reachable from here: every picture must come out of the bundle.
    ASSERT_EQ(chdir("/"), 0);
    builder = Gtk::Builder::create_from_resource(kDefinitionResource);
    struct Picture { const char* id; int width; int height; };
    for (const Picture& picture : {Picture{"image_splash", 1024, 600}, Picture{"image_title", 210, 38},
                                   Picture{"image_qr", 114, 113}}) {
        Gtk::Image* image = nullptr;
        builder->get_widget(picture.id, image);
        ASSERT_NE(image, nullptr) << picture.id;
        auto pixbuf = image->get_pixbuf();
        ASSERT_TRUE(pixbuf) << picture.id;
        EXPECT_EQ(pixbuf->get_width(), picture.width) << picture.id;
        EXPECT_EQ(pixbuf->get_height(), picture.height) << picture.id;
    }
    auto icon = Gdk::Pixbuf::create_from_resource("/testapp/assets/poe-nvr-wizard-icon-16x16.png");
    EXPECT_EQ(icon->get_width(), 16);
    EXPECT_EQ(icon->get_height(), 16);
}

TEST_F(RegistryTest, NetworkPageStartsWithDefaults)
{
    EXPECT_EQ(label_n1addr->get_text(), "0.0.0.0");
    EXPECT_EQ(label_n2addr->get_text(), "0.0.0.0");
    EXPECT_FALSE(switch_dhcp->get_active());
    for (Gtk::Entry* entry : {entry_startip, entry_endip, entry_primarydns, entry_secondarydns}) {
        EXPECT_EQ(entry->get_text(), "");
        EXPECT_EQ(entry->get_placeholder_text(), "0.0.0.0");
    }
    EXPECT_EQ(spin_users->get_adjustment()->get_upper(), 100);
    EXPECT_EQ(spin_lease->get_adjustment()->get_upper(), 500);
    for (Gtk::Label* error : {label_startiperror, label_endiperror, label_primarydnserror,
                              label_secondarydnserror})
        EXPECT_EQ(error->get_text(), "");
}

TEST_F(RegistryTest, CameraPageStartsOnTheConnectPanel)
{
    EXPECT_TRUE(grid_authenticate->get_visible());
    EXPECT_FALSE(grid_register->get_visible());
    EXPECT_EQ(entry_camID->get_text(), "admin");
    EXPECT_FALSE(button_ipassign->get_sensitive());
    EXPECT_FALSE(button_open_register->get_sensitive());
    EXPECT_TRUE(button_connect_cam->get_sensitive());
    EXPECT_EQ(label_enter_newpw->get_text(), "New\nPassword: ");
    EXPECT_EQ(label_confirm_newpw->get_text(), "Confirm\nPassword: ");
}

TEST_F(RegistryTest, PasswordColumnIsNeverShown)
{
    const auto columns = m_TreeView->get_columns();
    ASSERT_EQ(columns.size(), 10u);
    const char* titles[] = {"#", "Port", "Model", "Status", "Mode", "IP", "Mac", "Firmware", "Username", "pw"};
    for (unsigned index = 0; index < columns.size(); ++index) {
        EXPECT_EQ(columns[index]->get_title(), titles[index]);
        EXPECT_EQ(columns[index]->get_visible(), index != 9) << titles[index];
    }
}

TEST_F(RegistryTest, EntryLimitsAndHiddenPasswords)
{
    EXPECT_EQ(entry_camID->get_max_length(), 20);
    EXPECT_TRUE(entry_camID->get_visibility());
    for (Gtk::Entry* entry : {entry_camPW, entry_camPW1, entry_camPW2}) {
        EXPECT_EQ(entry->get_max_length(), 25);
        EXPECT_FALSE(entry->get_visibility());
        EXPECT_EQ(entry->get_invisible_char(), U'•');
        EXPECT_EQ(entry->get_input_purpose(), Gtk::INPUT_PURPOSE_PASSWORD);
    }
    // The limit holds for typed text too, not only for the property.
    entry_camPW->set_text(std::string(40, 'x'));
    EXPECT_EQ(entry_camPW->get_text().size(), 25u);
}

TEST_F(RegistryTest, WizardPagesInStackOrder)
{
    const auto pages = stack_main->get_children();
    ASSERT_EQ(pages.size(), 4u);
    const char* names[] = {"page4", "page2", "page3", "page0"};
    for (unsigned index = 0; index < pages.size(); ++index) {
        EXPECT_EQ(stack_main->child_property_name(*pages[index]).get_value(), names[index]);
        EXPECT_EQ(stack_main->child_property_position(*pages[index]).get_value(), int(index));
    }
    EXPECT_EQ(stack_main->get_visible_child(), pages[0]);
    EXPECT_EQ(window_main->get_title(), "Velnor Configuration Tool");
    EXPECT_FALSE(button_back->get_sensitive());
    EXPECT_EQ(button_apply->get_label(), "Next");
}

// Find Ports asks first, in the wizard's own dialog, with No and Yes; greyed without a camera.
TEST_F(RegistryTest, FindPortsAsksFirstAndWantsACamera)
{
    EXPECT_FALSE(button_find_ports->get_sensitive());
    EXPECT_FALSE(dialog_find_ports->get_decorated());
    std::vector<Glib::ustring> texts;
    for (Gtk::Widget* child : dialog_find_ports->get_content_area()->get_children())
        if (auto* label = dynamic_cast<Gtk::Label*>(child))
            texts.push_back(label->get_text());
    EXPECT_EQ(texts, std::vector<Glib::ustring>{
                         "Finding the port of each camera switches the PoE ports off one at a time and then on "
                         "again; every camera restarts once. Continue?"});
    auto* no = dynamic_cast<Gtk::Button*>(dialog_find_ports->get_widget_for_response(Gtk::RESPONSE_NO));
    ASSERT_NE(no, nullptr);
    EXPECT_EQ(no->get_label(), "gtk-no");
    auto* yes = dynamic_cast<Gtk::Button*>(dialog_find_ports->get_widget_for_response(Gtk::RESPONSE_YES));
    ASSERT_NE(yes, nullptr);
    EXPECT_EQ(yes->get_label(), "gtk-yes");
    // Not modal: a modal dialog's grab would swallow the window's close request, which cancels.
    EXPECT_FALSE(dialog_find_ports_progress->get_modal());
}
