#include "model/GlobalSettings.h"
#include "model/Request.h"
#include "model/Scenario.h"
#include "model/SettingsStore.h"

#include "api/TestSet.h"
#include "script/ScriptParser.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

using namespace torvex;

namespace {

using Values = GlobalSettingsValues;

// The per-user store in memory. Reads and writes are logged as "N:name" (number) or "T:name"
// (text); a value of the other type reads as missing.
class MemoryStore : public SettingsStore {
public:
    using Value = std::variant<std::uint32_t, std::string>;

    bool open() override { return !openFails; }
    std::optional<std::uint32_t> readNumber(const std::string& name) override {
        reads.push_back("N:" + name);
        auto it = values.find(name);
        if (it == values.end() || !std::holds_alternative<std::uint32_t>(it->second))
            return std::nullopt;
        return std::get<std::uint32_t>(it->second);
    }
    std::optional<std::string> readText(const std::string& name) override {
        reads.push_back("T:" + name);
        auto it = values.find(name);
        if (it == values.end() || !std::holds_alternative<std::string>(it->second))
            return std::nullopt;
        return std::get<std::string>(it->second);
    }
    bool writeNumber(const std::string& name, std::uint32_t value) override {
        values[name] = value;
        return true;
    }
    bool writeText(const std::string& name, const std::string& value) override {
        values[name] = value;
        return true;
    }

    bool close() override { return !closeFails; }

    bool openFails  = false;
    bool closeFails = false;
    std::map<std::string, Value> values;
    std::vector<std::string> reads;
};

struct Field {
    const char* name;
    std::variant<int Values::*, std::string Values::*> member;
};

// In the order they are loaded.
const Field kFields[] = {
    {"CustomProxy", &Values::customProxy},
    {"StartRecording", &Values::startRecording},
    {"PromptRecording", &Values::promptRecording},
    {"UseProxy", &Values::useProxy},
    {"ProxyType", &Values::proxyType},
    {"ProxyServer", &Values::proxyServer},
    {"ProxyPort", &Values::proxyPort},
    {"ProxyAuth", &Values::proxyAuth},
    {"ProxyUser", &Values::proxyUser},
    {"ProxyPassword", &Values::proxyPassword},
    {"Timeout", &Values::timeout},
    {"HTTPVersion", &Values::httpVersion},
    {"SSLVersion", &Values::sslVersion},
    {"BypassProxy", &Values::bypassProxy},
    {"ProxyExceptions", &Values::proxyExceptions},
};
constexpr std::size_t kFieldCount = std::size(kFields);

bool isText(const Field& f) {
    return std::holds_alternative<std::string Values::*>(f.member);
}

MemoryStore::Value valueOf(const Values& v, const Field& f) {
    if (isText(f)) return v.*std::get<std::string Values::*>(f.member);
    return static_cast<std::uint32_t>(v.*std::get<int Values::*>(f.member));
}

// Every value differs from its default, so a value that was not loaded shows.
Values nonDefaults() {
    Values v;
    v.timeout         = 300;
    v.useProxy        = 1;
    v.proxyServer     = "proxy.lan";
    v.proxyType       = 3;
    v.proxyPort       = 1080;
    v.customProxy     = 1;
    v.proxyAuth       = 1;
    v.proxyUser       = "u";
    v.proxyPassword   = "p w";
    v.bypassProxy     = 0;
    v.proxyExceptions = "10.;*.lan";
    v.httpVersion     = 0;
    v.sslVersion      = 0;
    v.promptRecording = 0;
    v.startRecording  = 1;
    return v;
}

MemoryStore storeHolding(const Values& v) {
    MemoryStore store;
    for (const Field& f : kFields) store.values[f.name] = valueOf(v, f);
    return store;
}

void expectSameValues(const Values& actual, const Values& expected) {
    for (const Field& f : kFields) {
        SCOPED_TRACE(f.name);
        EXPECT_EQ(valueOf(actual, f), valueOf(expected, f));
    }
}

std::vector<std::string> readLog(std::size_t count) {
    std::vector<std::string> log;
    for (std::size_t i = 0; i < count; ++i)
        log.push_back((isText(kFields[i]) ? "T:" : "N:") + std::string(kFields[i].name));
    return log;
}

TEST(GlobalSettings, Defaults) {
    Values v;
    EXPECT_EQ(v.timeout, 120);
    EXPECT_EQ(v.useProxy, 0);
    EXPECT_EQ(v.proxyServer, "");
    EXPECT_EQ(v.proxyType, 0);
    EXPECT_EQ(v.proxyPort, 0);
    EXPECT_EQ(v.customProxy, 0);
    EXPECT_EQ(v.proxyAuth, 0);
    EXPECT_EQ(v.proxyUser, "");
    EXPECT_EQ(v.proxyPassword, "");
    EXPECT_EQ(v.bypassProxy, 1);
    EXPECT_EQ(v.proxyExceptions, "");
    EXPECT_EQ(v.httpVersion, 1);
    EXPECT_EQ(v.sslVersion, 1);
    EXPECT_EQ(v.promptRecording, 1);
    EXPECT_EQ(v.startRecording, 0);
    expectSameValues(CGlobalSettings().values, v);
}

TEST(GlobalSettingsLoad, ReadsEveryValueInOrder) {
    MemoryStore store = storeHolding(nonDefaults());
    CGlobalSettings settings;
    EXPECT_TRUE(settings.load(store));
    EXPECT_EQ(store.reads, readLog(kFieldCount));
    expectSameValues(settings.values, nonDefaults());
}

TEST(GlobalSettingsLoad, StopsAtTheFirstMissingValue) {
    for (std::size_t missing = 0; missing < kFieldCount; ++missing) {
        SCOPED_TRACE(kFields[missing].name);
        MemoryStore store = storeHolding(nonDefaults());
        store.values.erase(kFields[missing].name);
        CGlobalSettings settings;
        EXPECT_FALSE(settings.load(store));
        EXPECT_EQ(store.reads, readLog(missing + 1));
        for (std::size_t i = 0; i < kFieldCount; ++i) {
            SCOPED_TRACE(kFields[i].name);
            EXPECT_EQ(valueOf(settings.values, kFields[i]),
                      valueOf(i < missing ? nonDefaults() : Values{}, kFields[i]));
        }
    }
}

TEST(GlobalSettingsLoad, WithoutPromptRecordingOnlyTheFirstTwoLoad) {
    MemoryStore store = storeHolding(nonDefaults());
    store.values.erase("PromptRecording");
    CGlobalSettings settings;
    EXPECT_FALSE(settings.load(store));
    Values expected         = {};
    expected.customProxy    = 1;
    expected.startRecording = 1;
    expectSameValues(settings.values, expected);
}

TEST(GlobalSettingsLoad, UnreadValuesKeepWhatTheyHad) {
    MemoryStore store = storeHolding(nonDefaults());
    store.values.erase("Timeout");
    CGlobalSettings settings;
    settings.values.timeout     = 77;
    settings.values.httpVersion = 0;
    settings.values.sslVersion  = 5;
    EXPECT_FALSE(settings.load(store));
    EXPECT_EQ(settings.values.proxyPassword, "p w");
    EXPECT_EQ(settings.values.timeout, 77);
    EXPECT_EQ(settings.values.httpVersion, 0);
    EXPECT_EQ(settings.values.sslVersion, 5);
    EXPECT_EQ(settings.values.bypassProxy, 1);
}

TEST(GlobalSettingsLoad, EmptyStoreKeepsDefaults) {
    MemoryStore store;
    CGlobalSettings settings;
    EXPECT_FALSE(settings.load(store));
    EXPECT_EQ(store.reads, readLog(1));
    expectSameValues(settings.values, Values{});
}

TEST(GlobalSettingsLoad, StoreThatCannotBeOpened) {
    MemoryStore store = storeHolding(Values{});
    store.openFails   = true;
    CGlobalSettings settings;
    settings.values = nonDefaults();
    EXPECT_FALSE(settings.load(store));
    EXPECT_TRUE(store.reads.empty());
    expectSameValues(settings.values, nonDefaults());
}

TEST(GlobalSettingsSave, WritesEveryValueWithItsType) {
    MemoryStore store;
    CGlobalSettings settings;
    settings.values = nonDefaults();
    EXPECT_TRUE(settings.save(store));
    EXPECT_EQ(store.values, storeHolding(nonDefaults()).values);

    // What was saved loads back unchanged.
    CGlobalSettings loaded;
    EXPECT_TRUE(loaded.load(store));
    expectSameValues(loaded.values, nonDefaults());
}

TEST(GlobalSettingsSave, StoreThatCannotBeOpened) {
    MemoryStore store;
    store.openFails = true;
    CGlobalSettings settings;
    EXPECT_FALSE(settings.save(store));
    EXPECT_TRUE(store.values.empty());
}

// A save that does not reach the store says so, so the caller does not take it as kept.
TEST(GlobalSettingsSave, StoreThatCannotKeepTheValues) {
    MemoryStore store;
    store.closeFails = true;
    CGlobalSettings settings;
    EXPECT_FALSE(settings.save(store));
}

// Texts longer than 1023 bytes are cut, never inside a character.
TEST(GlobalSettingsLoad, LongTextsAreCutOnACharacterBoundary) {
    Values stored          = nonDefaults();
    stored.proxyExceptions = std::string(1022, 'x') + "\xC3\xA9";
    stored.proxyUser       = std::string(2000, 'u');
    MemoryStore store      = storeHolding(stored);
    CGlobalSettings settings;
    EXPECT_TRUE(settings.load(store));
    EXPECT_EQ(settings.values.proxyExceptions, std::string(1022, 'x'));
    EXPECT_EQ(settings.values.proxyUser, std::string(1023, 'u'));
}

TEST(GlobalSettings, AssignFromAndAccessors) {
    CGlobalSettings source;
    source.values = nonDefaults();
    CGlobalSettings copy;
    copy.assignFrom(source);
    expectSameValues(copy.values, nonDefaults());

    EXPECT_EQ(copy.timeout(), 300);
    EXPECT_EQ(copy.proxyString(), "socks5://u:p w@proxy.lan:1080");
    expectSameValues(copy.snapshot(), nonDefaults());
}

TEST(GlobalSettings, ProxyString) {
    struct Case {
        int type;
        int auth;
        std::string user, password, expected;
    } cases[] = {
        {1, 0, "user", "password", "httpc://h:8080"},
        {1, 1, "user", "password", "httpc://user:password@h:8080"},
        {0, 0, "", "", "http://h:8080"},
        {2, 0, "", "", "socks4://h:8080"},
        {3, 0, "", "", "socks5://h:8080"},
        // SOCKS 4 has no password, but the string carries what is stored.
        {2, 1, "u", "p", "socks4://u:p@h:8080"},
        {0, 1, "a@b", "p:w/x", "http://a@b:p:w/x@h:8080"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        Values v;
        v.proxyType     = c.type;
        v.proxyAuth     = c.auth;
        v.proxyUser     = c.user;
        v.proxyPassword = c.password;
        v.proxyServer   = "h";
        v.proxyPort     = 8080;
        EXPECT_EQ(v.proxyString(), c.expected);
        CGlobalSettings settings;
        settings.values = v;
        EXPECT_EQ(settings.proxyString(), c.expected);
    }
}

TEST(GlobalSettings, LoadedSettingsBecomeScriptLines) {
    Values stored      = nonDefaults();
    stored.proxyType   = 2;
    stored.proxyServer = "s4";
    MemoryStore store  = storeHolding(stored);
    CGlobalSettings settings;
    ASSERT_TRUE(settings.load(store));

    CScenario scenario;
    auto request    = std::make_unique<CRequest>();
    request->name   = "r";
    request->method = CRequest::kGet;
    scenario.requests.append(std::move(request));
    std::string script;
    ASSERT_TRUE(scenario.generateScript(settings.snapshot(), script));
    EXPECT_NE(script.find("[General]\r\ntimeout=300\r\ncustomproxy=1\r\n"
                          "proxy=socks4://u:p w@s4:1080\r\nbypassproxy=0\r\n"
                          "proxyexceptions=10.;*.lan\r\nhttpver=1.0\r\nsslver=0\r\n"),
              std::string::npos)
        << script;
    CTestSet testSet;
    EXPECT_EQ(parseScript(testSet, script), 1) << script;
}

} // namespace
