#include "platform/locale.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace platform {
namespace {

constexpr uint16_t LangId(uint16_t primary, uint16_t sub) { return static_cast<uint16_t>(primary | (sub << 10)); }

// Clears the locale variables for the test and puts the old values back.
class LocaleEnvTest : public ::testing::Test {
protected:
    static constexpr const char* kVars[] = {"LC_ALL", "LC_TIME", "LANG"};

    void SetUp() override {
        for (size_t i = 0; i < 3; ++i) {
            if (const char* v = std::getenv(kVars[i])) saved_[i] = v;
            unsetenv(kVars[i]);
        }
    }
    void TearDown() override {
        for (size_t i = 0; i < 3; ++i) {
            if (saved_[i])
                setenv(kVars[i], saved_[i]->c_str(), 1);
            else
                unsetenv(kVars[i]);
        }
    }
    static uint16_t IdFor(const char* lang) {
        setenv("LANG", lang, 1);
        return UserDefaultLangID();
    }

    std::optional<std::string> saved_[3];
};

TEST_F(LocaleEnvTest, KnownLocales) {
    EXPECT_EQ(IdFor("en_US.UTF-8"), LangId(9, 1));
    EXPECT_EQ(IdFor("en_GB.UTF-8"), LangId(9, 2));
    EXPECT_EQ(IdFor("de_DE.UTF-8"), LangId(7, 1));
    EXPECT_EQ(IdFor("fr_FR.UTF-8"), LangId(12, 1));
    EXPECT_EQ(IdFor("fr_CA.UTF-8"), LangId(12, 3));
    EXPECT_EQ(IdFor("it_IT.UTF-8"), LangId(16, 1));
    EXPECT_EQ(IdFor("es_ES.UTF-8"), LangId(10, 3));
    EXPECT_EQ(IdFor("ru_RU.UTF-8"), LangId(25, 1));
}

TEST_F(LocaleEnvTest, CodesetModifierAndMissingCountry) {
    EXPECT_EQ(IdFor("de_DE@euro"), LangId(7, 1));
    EXPECT_EQ(IdFor("de_AT.ISO-8859-1"), LangId(7, 3));
    EXPECT_EQ(IdFor("fr"), LangId(12, 1));
    EXPECT_EQ(IdFor("en"), LangId(9, 1));
}

TEST_F(LocaleEnvTest, NeutralLocalesReadAsUsEnglish) {
    EXPECT_EQ(UserDefaultLangID(), LangId(9, 1)) << "nothing set";
    EXPECT_EQ(IdFor("C"), LangId(9, 1));
    EXPECT_EQ(IdFor("POSIX"), LangId(9, 1));
    EXPECT_EQ(IdFor("C.UTF-8"), LangId(9, 1));
}

TEST_F(LocaleEnvTest, UnknownLanguageIsZero) {
    EXPECT_EQ(IdFor("xx_YY.UTF-8"), 0);
    EXPECT_EQ(PrimaryLangID(IdFor("xx_YY")), 0);
}

TEST_F(LocaleEnvTest, LcAllThenLcTimeThenLang) {
    setenv("LANG", "de_DE.UTF-8", 1);
    setenv("LC_TIME", "fr_CA.UTF-8", 1);
    setenv("LC_ALL", "ru_RU.UTF-8", 1);
    EXPECT_EQ(UserDefaultLangID(), LangId(25, 1));
    unsetenv("LC_ALL");
    EXPECT_EQ(UserDefaultLangID(), LangId(12, 3));
    setenv("LC_TIME", "", 1);  // empty counts as unset
    EXPECT_EQ(UserDefaultLangID(), LangId(7, 1));
    setenv("LC_ALL", "", 1);
    unsetenv("LC_TIME");
    EXPECT_EQ(UserDefaultLangID(), LangId(7, 1));
}

}  // namespace
// The user's own formats follow the language, whatever the program set since.
TEST_F(LocaleEnvTest, UserFormatsFollowTheLanguage) {
    struct Case {
        const char* lang;
        const char* date;
        char decimal, thousands;
    };
    const Case cases[] = {{"en_US.UTF-8", "M/d/yyyy", '.', ','},
                          {"de_DE.UTF-8", "dd.MM.yyyy", ',', '.'},
                          {"fr_FR.UTF-8", "dd/MM/yyyy", ',', ' '},
                          {"fr_CA.UTF-8", "yyyy-MM-dd", ',', ' '}};
    for (const Case& c : cases) {
        setenv("LANG", c.lang, 1);
        EXPECT_EQ(UserDateFormat().short_date_format, c.date) << c.lang;
        EXPECT_EQ(UserNumberFormat().decimal_separator, c.decimal) << c.lang;
        EXPECT_EQ(UserNumberFormat().thousand_separator, c.thousands) << c.lang;
    }
}

}  // namespace platform
