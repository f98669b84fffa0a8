// The text edits of the file targets: what apply writes, and that revert brings the
// proxy settings back while every other line stays as it is now.

#include "ProxyEdits.h"

#include <gtest/gtest.h>

namespace {

using desktop::EnvironmentEdit;
using desktop::KioslavercEdit;
using desktop::PrefsJsEdit;
using desktop::UserJsEdit;

const std::string kKioslaverc = "[$Version]\n"
                                "update_info=kio_proxy.upd\n"
                                "\n"
                                "[Proxy Settings]\n"
                                "ProxyType=0\n"
                                "httpsProxy=http://secure.example 3129\n"
                                "NoProxyFor=intranet.example\n"
                                "\n"
                                "[Other]\n"
                                "Key = value \n";

TEST(KioslavercEditTest, PointsTheHttpProxyAtUsAndKeepsEveryOtherLine)
{
    const std::string set = KioslavercEdit.apply(kKioslaverc, 8080);
    EXPECT_EQ(set, "[$Version]\n"
                   "update_info=kio_proxy.upd\n"
                   "\n"
                   "[Proxy Settings]\n"
                   "ProxyType=1\n"
                   "httpsProxy=http://secure.example 3129\n"
                   "NoProxyFor=intranet.example,localhost,127.0.0.1,127.0.0.0/8,::1\n"
                   "httpProxy=http://127.0.0.1 8080\n"
                   "ReversedException=false\n"
                   "\n"
                   "[Other]\n"
                   "Key = value \n");
    // Set twice is set once.
    EXPECT_EQ(KioslavercEdit.apply(set, 8080), set);
    EXPECT_EQ(KioslavercEdit.revert(set, kKioslaverc), kKioslaverc);
}

TEST(KioslavercEditTest, RevertKeepsWhatOthersChangedMeanwhile)
{
    std::string set = KioslavercEdit.apply(kKioslaverc, 8080);
    set.replace(set.find("httpsProxy=http://secure.example 3129"), 37,
                "httpsProxy=http://new.example 1");
    set += "Added=later\n";
    EXPECT_EQ(KioslavercEdit.revert(set, kKioslaverc), "[$Version]\n"
                                                       "update_info=kio_proxy.upd\n"
                                                       "\n"
                                                       "[Proxy Settings]\n"
                                                       "ProxyType=0\n"
                                                       "httpsProxy=http://new.example 1\n"
                                                       "NoProxyFor=intranet.example\n"
                                                       "\n"
                                                       "[Other]\n"
                                                       "Key = value \n"
                                                       "Added=later\n");
}

TEST(KioslavercEditTest, AReversedListIsNotMergedAndASectionWeAddedGoesAgain)
{
    const std::string reversed =
        "[Proxy Settings]\nReversedException=true\nNoProxyFor=only.example\n";
    const std::string set = KioslavercEdit.apply(reversed, 3128);
    EXPECT_NE(set.find("NoProxyFor=localhost,127.0.0.1,127.0.0.0/8,::1\n"), std::string::npos);
    EXPECT_NE(set.find("ReversedException=false\n"), std::string::npos);
    EXPECT_EQ(KioslavercEdit.revert(set, reversed), reversed);

    // A file without the section and without a last line end.
    const std::string plain = "[General]\nName=x";
    std::string changed = KioslavercEdit.apply(plain, 3128) + "[Later]\nA=1\n";
    EXPECT_EQ(KioslavercEdit.revert(changed, plain), "[General]\nName=x\n[Later]\nA=1\n");
    // No file before: revert of what apply made removes it.
    EXPECT_EQ(KioslavercEdit.revert(KioslavercEdit.apply("", 3128), std::nullopt), std::nullopt);
}

TEST(KioslavercEditTest, CrLfLinesKeepTheirEnds)
{
    const std::string crlf = "[Proxy Settings]\r\nProxyType=0\r\nOther=1\r\n";
    const std::string set = KioslavercEdit.apply(crlf, 8080);
    EXPECT_NE(set.find("ProxyType=1\r\nOther=1\r\n"), std::string::npos);
    EXPECT_EQ(KioslavercEdit.revert(set, crlf), crlf);
}

const std::string kUserJs = "// my own settings\n"
                            "user_pref(\"browser.startup.page\", 3);\n"
                            "user_pref(\"network.proxy.ssl\", \"secure.example\");";

TEST(UserJsEditTest, OurBlockComesAndGoesAndTheUsersLinesStay)
{
    const std::string set = UserJsEdit.apply(kUserJs, 8080);
    EXPECT_EQ(set.substr(0, kUserJs.size() + 1), kUserJs + "\n");
    for (const char* line : {"user_pref(\"network.proxy.type\", 1);\n",
                             "user_pref(\"network.proxy.http\", \"127.0.0.1\");\n",
                             "user_pref(\"network.proxy.http_port\", 8080);\n",
                             "user_pref(\"network.proxy.share_proxy_settings\", false);\n",
                             "user_pref(\"network.proxy.no_proxies_on\", \"localhost, 127.0.0.1, "
                             "127.0.0.0/8, ::1\");\n"}) {
        EXPECT_NE(set.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(UserJsEdit.apply(UserJsEdit.apply(kUserJs, 9090), 8080), set);

    // The user adds a line after ours while it is set: only our block goes.
    const std::string later = set + "user_pref(\"general.smoothScroll\", false);\n";
    EXPECT_EQ(UserJsEdit.revert(later, kUserJs),
              kUserJs + "\nuser_pref(\"general.smoothScroll\", false);\n");
    // No user.js before, nothing added since: it goes.
    EXPECT_EQ(UserJsEdit.revert(UserJsEdit.apply("", 8080), std::nullopt), std::nullopt);
}

TEST(UserJsEditTest, ABlockCutShortLosesOnlyItsOwnLines)
{
    std::string set = UserJsEdit.apply("user_pref(\"a\", 1);\n", 8080);
    set.erase(set.find("// Umbravia: end"));
    set += "user_pref(\"b\", 2);\n";
    EXPECT_EQ(UserJsEdit.revert(set, std::string("user_pref(\"a\", 1);\n")),
              "user_pref(\"a\", 1);\nuser_pref(\"b\", 2);\n");
}

TEST(PrefsJsEditTest, WhatFirefoxCopiedFromUserJsGoesBackToTheUsersValues)
{
    const std::string before = "// Mozilla User Preferences\n"
                               "user_pref(\"app.update.lastUpdateTime\", 1);\n"
                               "user_pref(\"network.proxy.http\", \"old.example\");\n"
                               "user_pref(\"network.proxy.http_port\", 3128);\n";
    // Firefox rewrote the file while our user.js was in effect.
    const std::string after = "// Mozilla User Preferences\n"
                              "user_pref(\"app.update.lastUpdateTime\", 2);\n"
                              "user_pref(\"network.proxy.http\", \"127.0.0.1\");\n"
                              "user_pref(\"network.proxy.http_port\", 8080);\n"
                              "user_pref(\"network.proxy.no_proxies_on\", \"localhost\");\n"
                              "user_pref(\"network.proxy.share_proxy_settings\", false);\n"
                              "user_pref(\"network.proxy.type\", 1);\n";
    EXPECT_EQ(PrefsJsEdit.revert(after, before),
              "// Mozilla User Preferences\n"
              "user_pref(\"app.update.lastUpdateTime\", 2);\n"
              "user_pref(\"network.proxy.http\", \"old.example\");\n"
              "user_pref(\"network.proxy.http_port\", 3128);\n");
    // A prefs.js that was not there yet keeps Firefox's other lines.
    EXPECT_EQ(PrefsJsEdit.revert(after, std::nullopt),
              "// Mozilla User Preferences\nuser_pref(\"app.update.lastUpdateTime\", 2);\n");
    // Set never writes prefs.js.
    EXPECT_EQ(PrefsJsEdit.apply(before, 8080), before);
}

TEST(EnvironmentEditTest, NamesTheProxyForHttpOnlyAndGoesAway)
{
    const std::string file = EnvironmentEdit.apply("", 8080);
    EXPECT_EQ(file,
              "# Umbravia's local proxy for the programs of the next login (plain HTTP only:\n"
              "# HTTPS goes direct). Umbravia removes this file when it stops.\n"
              "http_proxy=http://127.0.0.1:8080/\n"
              "HTTP_PROXY=http://127.0.0.1:8080/\n"
              "no_proxy=localhost,127.0.0.1,127.0.0.0/8,::1\n"
              "NO_PROXY=localhost,127.0.0.1,127.0.0.0/8,::1\n");
    EXPECT_EQ(file.find("https_proxy"), std::string::npos);
    EXPECT_EQ(EnvironmentEdit.revert(file, std::nullopt), std::nullopt);
    EXPECT_EQ(EnvironmentEdit.revert(file, std::string("A=1\n")), "A=1\n");
}

TEST(ProxyEditTest, TheJournalNamesFindTheirEdits)
{
    for (const desktop::ProxyEdit* edit :
         {&KioslavercEdit, &UserJsEdit, &PrefsJsEdit, &EnvironmentEdit}) {
        EXPECT_EQ(desktop::proxyEdit(edit->name), edit);
    }
    EXPECT_EQ(desktop::proxyEdit("registry"), nullptr);
}

} // namespace
