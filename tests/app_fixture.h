#pragma once
// Starts the whole program on the real toolkit (offscreen) with a program
// directory of its own, and shuts it down again after each test.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/app.h"
#include "test_support.h"
#include "ui/qt_access.h"
#include "ui/toolkit.h"
#include "xml/xml.h"

namespace apptest {

// Handles the events already waiting, without blocking; false as soon as one
// of them ended the loop.
inline bool HandlePendingEvents()
{
    for (ui::Event event = ui::PollEvent(); event != ui::Event::None; event = ui::PollEvent())
        if (!app::HandleEvent(event))
            return false;
    return true;
}

class AppTest : public ::testing::Test {
protected:
    // Writes Nummernwerk.ini beside the "executable" when bytes are given,
    // then runs start-up with message boxes recorded instead of shown.
    void Start(const std::optional<std::string>& settingsBytes = std::nullopt)
    {
        if (settingsBytes)
            nwtest::WriteFileBytes(dir_ / "Nummernwerk.ini", *settingsBytes);
        ui::Init();
        ui::qt::ResetForTests();
        ui::RecordMessageBoxes(true);
        app::StartUp(ProgramDirectory());
        running_ = true;
    }

    void ShutDown()
    {
        app::ShutDown();
        running_ = false;
    }

    void TearDown() override
    {
        if (running_)
            app::ShutDown();
        // A save leaves its document until the next load or save; the
        // program's own tear-down frees it, a test does it here.
        XmlFreeDocument(-1);
        ui::qt::ResetForTests();
    }

    std::u16string ProgramDirectory() const { return nwtest::U16(dir_.path().string() + "/"); }
    std::string SettingsBytes() const { return nwtest::ReadFileBytes(dir_ / "Nummernwerk.ini"); }

    nwtest::TempDir dir_;
    bool running_ = false;
};

// A phonebook in the router's style, one contact per (name, number).
inline std::string PhonebookXml(const std::string& bookName,
                                const std::vector<std::pair<std::string, std::string>>& contacts)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?><phonebooks><phonebook owner=\"1\" name=\"" +
                      bookName + "\">";
    int id = 0;
    for (const auto& [name, number] : contacts) {
        ++id;
        xml += "<contact><category>0</category><person><realName>" + name +
               "</realName></person><telephony nid=\"1\"><number type=\"home\" prio=\"1\" id=\"0\">" + number +
               "</number></telephony><services/><setup/><features doorphone=\"0\"/><mod_time>1700000000"
               "</mod_time><uniqueid>" +
               std::to_string(id) + "</uniqueid></contact>";
    }
    return xml + "</phonebook></phonebooks>";
}

}  // namespace apptest
