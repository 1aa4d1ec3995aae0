// The settings file and list, the settings record, and the start-on-connect
// value in the emulated registry.
#include <gtest/gtest.h>

#include "desktop/store/config_list.h"
#include "desktop/store/options.h"
#include "platform/registry/registry.h"
#include "protocol/text_codec.h"
#include "store_test_support.h"

namespace quillet {
namespace {
using namespace quillet::test;

ConfigList parsed(std::string_view text) {
    ConfigList list;
    list.parse(text);
    return list;
}

TEST(ConfigListTest, LinesWithAndWithoutBlanksAndCommentsReadAlike) {
    for (std::string_view line : {"import_inbox=0\n", "  import_inbox \t=  0  # off for now\r\n"}) {
        const ConfigList list = parsed(line);
        ASSERT_EQ(list.entries().size(), 1u) << line;
        EXPECT_EQ(list.entries()[0].name, "import_inbox");
        EXPECT_EQ(list.entries()[0].value, "0");
        EXPECT_EQ(list.get_int("import_inbox"), 0);
    }
}

TEST(ConfigListTest, UnusableLinesAreSkipped) {
    const ConfigList list = parsed("# a comment = here\nno equals sign\n===\n\n=abc=1\n");
    ASSERT_EQ(list.entries().size(), 1u);
    // A line that starts with "=" takes its name from the text after it.
    EXPECT_EQ(list.entries()[0].name, "abc");
    EXPECT_EQ(list.entries()[0].value, "abc=1");
}

TEST(ConfigListTest, ValuesReadAsCIntegerLiterals) {
    const ConfigList list = parsed(
        "hex = 0x10\nword = yes\nempty =\noctal = 010\nneg = -5\nbad_octal = 08\n"
        "half_hex = 0x\nbig = 99999999999\nsmall = -99999999999\n");
    EXPECT_EQ(list.get_int("hex"), 16);
    EXPECT_EQ(list.get_int("word"), 0);
    EXPECT_EQ(list.get_int("empty"), 0);
    EXPECT_EQ(list.get_int("octal"), 8);
    EXPECT_EQ(list.get_int("neg"), -5);
    EXPECT_EQ(list.get_int("bad_octal"), 0);
    EXPECT_EQ(list.get_int("half_hex"), 0);
    EXPECT_EQ(list.get_int("big"), 2147483647);
    EXPECT_EQ(list.get_int("small"), -2147483647 - 1);
    EXPECT_EQ(list.get_int("absent"), -1);
}

TEST(ConfigListTest, DuplicateNamesFindTheFirstAndSetChangesOnlyIt) {
    ConfigList list = parsed("import_inbox = 1\nimport_inbox = 0\n");
    EXPECT_EQ(list.get_int("import_inbox"), 1);
    ASSERT_TRUE(list.set_bool("import_inbox", false));
    EXPECT_EQ(list.serialise(), "import_inbox = 0\r\nimport_inbox = 0\r\n");
    ASSERT_TRUE(list.set_string("new_key", "v"));
    EXPECT_EQ(list.entries().back().name, "new_key");
}

TEST(ConfigListTest, EveryLineTheWriterProducesIsReadBackWhole) {
    ConfigList list;
    const std::string name(ConfigList::kMaxName, 'n');
    const std::string value(ConfigList::kMaxValue, 'v');
    ASSERT_TRUE(list.set_string(name, value));
    const ConfigList back = parsed(list.serialise());
    ASSERT_EQ(back.entries().size(), 1u);
    EXPECT_EQ(back.entries()[0].name, name);
    EXPECT_EQ(back.entries()[0].value, value);
}

TEST(ConfigListTest, AValueIsRefusedRatherThanCut) {
    ConfigList list = parsed("key = old\n");
    EXPECT_FALSE(list.set_string("key", std::string(ConfigList::kMaxValue + 1, 'v')));
    EXPECT_FALSE(list.set_string(std::string(ConfigList::kMaxName + 1, 'n'), "v"));
    EXPECT_FALSE(list.set_string("key", "two\nlines"));
    EXPECT_FALSE(list.set_string("a=b", "v"));
    EXPECT_EQ(list.find("key"), "old");
    EXPECT_EQ(list.entries().size(), 1u);
}

TEST(ConfigListTest, LinesLongerThanAnyEntryAreReadInPieces) {
    // The longest entry fills a piece; the rest of the line counts only when
    // it holds "=".
    const std::string name(ConfigList::kMaxName, 'n');
    const std::string value(ConfigList::kMaxValue, 'x');
    const ConfigList ignored = parsed(name + " = " + value + "tail\n");
    ASSERT_EQ(ignored.entries().size(), 1u);
    EXPECT_EQ(ignored.entries()[0].value, value);
    const ConfigList second = parsed(name + " = " + value + "b=2\n");
    ASSERT_EQ(second.entries().size(), 2u);
    EXPECT_EQ(second.entries()[1].name, "b");
    EXPECT_EQ(second.entries()[1].value, "2");
}

// Found by fuzzing: a name cut to 63 bytes ended in tabs, which the next
// read dropped, so a saved file read back differently.
TEST(ConfigListTest, OverlongNamesAndValuesCutAtBlanksReadBackAsWritten) {
    const std::string name = "1impor" + std::string(96, '\t') + "t_sent_items";
    const std::string value = std::string(1020, 'v') + "   \t  tail";
    const ConfigList list = parsed(name + " = 1\n" + "key = " + value + "\n");
    ASSERT_EQ(list.entries().size(), 2u);
    EXPECT_EQ(list.entries()[0].name, "1impor");
    EXPECT_EQ(list.entries()[1].value, std::string(1020, 'v'));
    const ConfigList back = parsed(list.serialise());
    ASSERT_EQ(back.entries().size(), 2u);
    EXPECT_EQ(back.entries()[0].name, list.entries()[0].name);
    EXPECT_EQ(back.entries()[1].value, list.entries()[1].value);
}

TEST(ConfigListTest, FilesOfTheEarlierWriterReadAsBefore) {
    // Lines of at most 127 characters with CR LF, as every file written so far.
    const std::string path_value = "C:\\Program Files\\Quillet\\templates/voice/message4you.wav";
    const ConfigList list = parsed(
        "contacts_sort = 0\r\nminimize_to_tray = 0\r\nsound_filename = " + path_value + "\r\n");
    ASSERT_EQ(list.entries().size(), 3u);
    EXPECT_EQ(list.find("sound_filename"), path_value);
    EXPECT_EQ(list.get_int("contacts_sort"), 0);
}

TEST(ConfigListTest, MissingFileLeavesTheListAndSaysSo) {
    AppFolders folders;
    ConfigList list = parsed("k = v\n");
    EXPECT_FALSE(list.load_config("options.cfg"));
    EXPECT_EQ(list.entries().size(), 1u);
}

std::string default_file(const AppFolders& /*folders*/) {
    return "minimize_to_tray = 0\r\nimport_inbox = 1\r\nimport_sent_items = 1\r\n"
           "import_deleted_items = 1\r\nsound_notification = 1\r\npopup_message = 1\r\n"
           "minimize_on_open = 0\r\nsync_on_open = 0\r\n"
           "sound_filename = templates/voice/message4you.wav\r\n"
           "popup_message_text = You have received a new SMS message.\r\n";
}

TEST(OptionsTest, DefaultsWrittenFromScratchGiveTheTenLines) {
    AppFolders folders;
    Options options;
    EXPECT_FALSE(load_options(options));
    EXPECT_EQ(options.start_on_connect, 0);
    const OptionsSaveResult r = save_options(options);
    EXPECT_TRUE(r);
    EXPECT_TRUE(r.registry_written);  // nothing to delete is no error
    EXPECT_EQ(file_contents(folders.data() / "options.cfg"), default_file(folders));
}

TEST(OptionsTest, KeysOfOthersKeepTheirLinesAndCommentsAreDropped) {
    AppFolders folders;
    write_file(folders.data() / "options.cfg",
               "contacts_sort = 1\r\n# hand edit\r\nimport_inbox = 0\r\nimport_inbox = 1\r\n");
    Options options;
    EXPECT_TRUE(load_options(options));
    EXPECT_EQ(options.import_inbox, 0);
    options.import_inbox = 1;
    ASSERT_TRUE(save_options(options));
    const std::string text = file_contents(folders.data() / "options.cfg");
    EXPECT_EQ(
        text.rfind("contacts_sort = 1\r\nimport_inbox = 1\r\nimport_inbox = 1\r\nminimize", 0), 0u);
    EXPECT_EQ(text.find("hand edit"), std::string::npos);
}

TEST(OptionsTest, FlagsAndTextsLoadAndAbsentKeysKeepTheField) {
    AppFolders folders;
    write_file(folders.data() / "options.cfg",
               "minimize_to_tray = 0x10\nimport_sent_items = yes\nsync_on_open=1\n"
               "popup_message_text = Caf\xe9 calling\n");
    Options options;
    options.import_deleted_items = 0;
    ASSERT_TRUE(load_options(options));
    EXPECT_EQ(options.minimize_to_tray, 1);
    EXPECT_EQ(options.import_sent_items, 0);
    EXPECT_EQ(options.sync_on_open, 1);
    EXPECT_EQ(options.import_deleted_items, 0);
    EXPECT_EQ(options.popup_message_text, u"Caf\u00e9 calling");
}

TEST(OptionsTest, ALongSoundPathSurvivesSaveAndLoad) {
    AppFolders folders;
    Options options;
    options.sound_filename = u"/home/user/" + std::u16string(480, u's') + u".wav";
    ASSERT_TRUE(save_options(options));
    Options back;
    ASSERT_TRUE(load_options(back));
    EXPECT_EQ(back.sound_filename, options.sound_filename);
}

TEST(OptionsTest, TextsAreKeptToTheirFieldOnSaveAndLoad) {
    AppFolders folders;
    Options options;
    options.popup_message_text = std::u16string(600, u'p') + u"\nx";
    ASSERT_TRUE(save_options(options));
    Options back;
    load_options(back);
    EXPECT_EQ(back.popup_message_text, std::u16string(Options::kMaxText, u'p'));
}

// What the 8-bit line cannot carry ("#", emoji, most scripts) survives a
// restart; a plain text leaves the file as it always was.
TEST(OptionsTest, APopupTextOfAnyCharactersSurvivesARestart) {
    for (const std::u16string& text :
         {std::u16string(u"Call #1 \U0001F4F1 100%"),
          std::u16string(u"\u0645\u0631\u062d\u0628\u0627 #"),
          std::u16string(u"  Caf\u00e9 \u00bb new"), std::u16string(u"plain")}) {
        AppFolders folders;
        Options options;
        options.popup_message_text = text;
        ASSERT_TRUE(save_options(options));
        Options back;
        ASSERT_TRUE(load_options(back));
        EXPECT_EQ(back.popup_message_text,
                  text == u"  Caf\u00e9 \u00bb new" ? u"Caf\u00e9 \u00bb new" : text);
        EXPECT_EQ(file_contents(folders.data() / "options.cfg").find("_utf8") != std::string::npos,
                  text.find_first_of(u"#\U0001F4F1\u0645") != std::u16string::npos);
    }
    // A program that knows only the 8-bit line changed it: that line counts.
    AppFolders folders;
    Options options;
    options.popup_message_text = u"Call #1";
    ASSERT_TRUE(save_options(options));
    std::string file = file_contents(folders.data() / "options.cfg");
    file.replace(file.find("= Call #1"), 9, "= Other");
    write_file(folders.data() / "options.cfg", file);
    Options back;
    load_options(back);
    EXPECT_EQ(back.popup_message_text, u"Other");
}

TEST(OptionsTest, ASaveThatCannotWriteLeavesTheOldFileWholeAndSaysSo) {
    AppFolders folders;
    write_file(folders.data() / "options.cfg", "contacts_sort = 1\r\n");
    Options options;
    options.sound_filename = std::u16string(400, u's');
    OptionsSaveResult r;
    {
        FileSizeLimit limit(100);
        r = save_options(options);
    }
    EXPECT_FALSE(r);
    EXPECT_NE(r.file.what().find("options.cfg"), std::string::npos);
    EXPECT_EQ(file_contents(folders.data() / "options.cfg"), "contacts_sort = 1\r\n");
}

TEST(OptionsTest, StartOnConnectIsTheRegistryValue) {
    AppFolders folders;
    Options options;
    options.start_on_connect = 1;
    ASSERT_TRUE(save_options(options).registry_written);
    const auto value = registry::query_string(registry::kAutoStartKey, "Quillet");
    ASSERT_TRUE(value);
    EXPECT_EQ(*value, from_utf8((folders.program() / "quillet").string()));
    EXPECT_EQ(file_contents(folders.data() / "options.cfg").find("start_on_connect"),
              std::string::npos);
    Options back;
    load_options(back);
    EXPECT_EQ(back.start_on_connect, 1);

    back.start_on_connect = 0;
    ASSERT_TRUE(save_options(back).registry_written);
    EXPECT_FALSE(registry::query_string(registry::kAutoStartKey, "Quillet"));
    Options again;
    again.start_on_connect = 1;
    load_options(again);
    EXPECT_EQ(again.start_on_connect, 0);
}

TEST(OptionsTest, AnyStartOnConnectValueReadsAsOnWhateverItsLength) {
    AppFolders folders;
    ASSERT_TRUE(registry::set_string(registry::kAutoStartKey, "Quillet",
                                     u"/opt/" + std::u16string(300, u'q') + u"/quillet"));
    ASSERT_TRUE(registry::set_string(registry::kAutoStartKey, "Other", u"/usr/bin/other"));
    Options options;
    load_options(options);
    EXPECT_EQ(options.start_on_connect, 1);
    options.start_on_connect = 0;
    save_options(options);
    // Only our value goes; the other program's stays listed.
    const auto values = registry::values(registry::kAutoStartKey);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].first, "Other");
}

}  // namespace
}  // namespace quillet
