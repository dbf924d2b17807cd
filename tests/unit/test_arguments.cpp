// The forwarded-argument filter against its worked examples and against the
// rule stated word by word; the quiet-switch reader.
#include <gtest/gtest.h>

#include <wchar.h>

#include <random>
#include <string>

#include "../../src/launch/arguments.h"
#include "arguments_reference.h"

namespace {

std::wstring repeat(const std::wstring& s, int n) {
    std::wstring out;
    while (n-- > 0) out += s;
    return out;
}

// Runs the filter on a buffer full of junk and checks that every character
// after the text was zeroed.
std::wstring run_filter(const std::wstring& tail, int cap) {
    std::wstring buf(cap + 1, L'\xAAAA');  // one more, which must stay as it was
    filter_arguments(tail.c_str(), L"/s", &buf[0], cap);
    if (buf[cap] != L'\xAAAA') ADD_FAILURE() << "written past the buffer for " << tail;
    size_t len = wcslen(buf.c_str());
    for (int i = static_cast<int>(len); i < cap; ++i) {
        if (buf[i] != 0) ADD_FAILURE() << "character " << i << " not zeroed for " << tail;
    }
    return buf.substr(0, len);
}

}  // namespace

TEST(ForwardedArguments, WorkedExamples) {
    struct Case {
        const wchar_t* tail;
        const wchar_t* forwarded;
    } cases[] = {
        {L"/s /qn", L" /qn"},
        {L"/qn /s", L"/qn "},
        {L"/s", L""},
        // Only a whole "/s" goes: paths, values and URLs reach msiexec as typed.
        {L"/silent", L"/silent"},
        {L"/S /qn", L"/S /qn"},
        {L"//ss", L"//ss"},
        {L"a/s/sb", L"a/s/sb"},
        {L"/log C:/setup/install.log", L"/log C:/setup/install.log"},
        {L"/qn", L"/qn"},
        {L"", L""},
        {L"///sss", L"///sss"},
        {L"/\u00E9/s", L"/\u00E9/s"},
        {L"/l*v \"C:/logs/setup.log\" INSTALLDIR=D:/srv/sql URL=https://server/status /s",
         L"/l*v \"C:/logs/setup.log\" INSTALLDIR=D:/srv/sql URL=https://server/status "},
        {L"PROP=/s \"/s\" \"a /s b\" /s\t/qn", L"PROP=/s \"/s\" \"a /s b\" \t/qn"},
        {L"/s /s/s /s", L" /s/s "},
        // Characters, not code-page bytes, reach msiexec.
        {L"/qn INSTALLDIR=\"D:\\\u0416\u0443\u0440\u043d\u0430\u043b\" NOTE=caf\u00E9 /s",
         L"/qn INSTALLDIR=\"D:\\\u0416\u0443\u0440\u043d\u0430\u043b\" NOTE=caf\u00E9 "},
    };
    for (const auto& c : cases) EXPECT_EQ(run_filter(c.tail, 1000), c.forwarded) << c.tail;
}

TEST(ForwardedArguments, CutAt999AfterTheRemovals) {
    struct Case {
        std::wstring tail;
        std::wstring forwarded;
    } cases[] = {
        {std::wstring(999, L'a'), std::wstring(999, L'a')},
        {std::wstring(1000, L'a'), std::wstring(999, L'a')},
        {std::wstring(5000, L'a'), std::wstring(999, L'a')},
        // 999 characters, not bytes: Cyrillic would be 1,998 in UTF-8.
        {std::wstring(1000, L'\u0416'), std::wstring(999, L'\u0416')},
        {std::wstring(500, L'/') + std::wstring(999, L'a') + std::wstring(500, L's'),
         std::wstring(500, L'/') + std::wstring(999 - 500, L'a')},
        // 1,999 characters brought to 999 by their removals: copied whole.
        {repeat(L"/s ", 500) + std::wstring(499, L'a'),
         std::wstring(500, L' ') + std::wstring(499, L'a')},
        {std::wstring(998, L'a') + std::wstring(600, L'/') + std::wstring(600, L's') + L"b",
         std::wstring(998, L'a') + L"/"},
        {std::wstring(998, L'a') + std::wstring(600, L'/') + std::wstring(599, L's') + L"b",
         std::wstring(998, L'a') + L"/"},
        {std::wstring(999, L'a') + L"/" + L"x" + L"s", std::wstring(999, L'a')},
        {std::wstring(998, L'a') + L"/" + L"/s" + L"s" + L"z", std::wstring(998, L'a') + L"/"},
        {std::wstring(998, L'a') + L" /s z", std::wstring(998, L'a') + L" "},
    };
    for (const auto& c : cases) EXPECT_EQ(run_filter(c.tail, 1000), c.forwarded);
}

TEST(ForwardedArguments, AgreesWithTheLiteralAlgorithm) {
    const wchar_t alphabet[] = {L'/', L's', L' ', L'"'};
    for (int len = 0; len <= 8; ++len) {
        int total = 1 << (2 * len);
        for (int n = 0; n < total; ++n) {
            std::wstring tail;
            for (int i = 0; i < len; ++i) tail += alphabet[(n >> (2 * i)) & 3];
            for (int cap : {1, 2, 4, 1000}) {
                ASSERT_EQ(run_filter(tail, cap), reference_filter(tail, cap))
                    << tail.size() << " cap " << cap;
            }
        }
    }
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::wstring tail(random() % 3000, L'a');
        for (wchar_t& c : tail) c = L"/s/sa S\"\t"[random() % 9];
        int cap = 1 + static_cast<int>(random() % 40);
        ASSERT_EQ(run_filter(tail, cap), reference_filter(tail, cap)) << tail.size();
        ASSERT_EQ(run_filter(tail, 1000), reference_filter(tail, 1000)) << tail.size();
    }
}

TEST(ForwardedArguments, QuietSwitches) {
    struct Case {
        const wchar_t* args;
        bool quiet;
    } cases[] = {
        {L"/qn", true},          {L" /qb", true},        {L"/QR", false},
        {L"/qf", false},         {L"/qn+", true},        {L"/qb-", true},
        {L"/qr-", false},        {L"/qb!!", false},      {L"/q+", false},
        {L"/qb!", true},         {L"/qb-!", true},       {L"/qb!-", true},
        {L"/q", true},           {L"-qn", true},         {L"/qb--", false},
        {L"/quiet", true},       {L"-Quiet", true},      {L"/passive", true},
        {L"/l*v x /qn", true},   {L"PROP=1\t/qn", true}, {L"", false},
        {L"/norestart", false},  {L"/qx", false},        {L"/quietly", false},
        {L"PROP=/qn", false},    {L"\"/qn\"", true},     {L"A=\"x /qn\"", false},
        {L"/s", false},          {L"/", false},          {L"q", false},
        {L"Aqn", false},         {L"/qn\nP=1", true},    {L"/log /qn", false},
        {L"/l \"a\" /qn", true},
    };
    for (const auto& c : cases) EXPECT_EQ(asks_quiet(c.args), c.quiet) << c.args;
    EXPECT_TRUE(asks_quiet((std::wstring(64, L'a') + L" /qn").c_str()));  // a word of 64 kept whole
    // Where nobody sees msiexec's windows: its full interface, /qf, /qr or a closing box.
    for (const wchar_t* args : {L"", L"/qf", L"-QR", L"/qn+", L"/QB+!", L"/qb- /qn+", L"/qn /qf",
                                L"PROP=/qn", L"/qr-", L"/q+", L"/qn /qr", L"/qb", L"/QB!"}) {
        EXPECT_TRUE(waits_for_a_person(args)) << args;
    }
    for (const wchar_t* args : {L"/qn", L"/qb-!", L"-Passive", L"/quiet", L"/q", L"/qn\nP=1"}) {
        EXPECT_FALSE(waits_for_a_person(args)) << args;
    }
    // msiexec's help and its other operations; a log, a restart option or a value passes.
    for (const wchar_t* args :
         {L"/?", L"-H", L"/help", L"/qn /x {C}", L"/X{C}", L"/i a.msi", L"-a", L"/jm", L"/fvomus",
          L"/p other.msp", L"/Package a", L"/uninstall {C}", L"/update b.msp", L"/y d", L"/z d",
          L"/regserver", L"P=/x \"/x\"", L"/qn \"/?\"", L"\"/x\" {C}"}) {
        EXPECT_TRUE(asks_another_operation(args)) << args;
    }
    // Properties that make the transaction another one, as msiexec reads them.
    for (const wchar_t* args :
         {L"REMOVE=ALL", L"remove=\"a,b\"", L"MSIPATCHREMOVE={P}", L"PATCH=x.msp", L"ADDLOCAL=ALL",
          L"\"ADVERTISE=ALL\"", L"REINSTALL=ALL", L"REMOVE = ALL", L"FILEADDLOCAL=f"}) {
        EXPECT_TRUE(asks_another_operation(args)) << args;
    }
    for (const wchar_t* args :
         {L"/qn /norestart /l*v x.log P=1", L"/passive /forcerestart", L"-promptrestart /log x",
          L"/qn", L"/l*v /inetpub/logs/upd.log", L"/log \"/x\"", L"REMOVED=1 P=REMOVE",
          L"NOTE=\"REMOVE=ALL\"", L"REINSTALLMODE=omus", L"= ALL", L"/qn REMOVE"}) {
        EXPECT_FALSE(asks_another_operation(args)) << args;
    }
}
