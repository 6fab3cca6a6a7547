#include "api/Options.h"

#include "api/TestSet.h"
#include "support/CapturedOutput.h"
#include "support/DecimalCommaLocale.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

using torvex::CTestSet;
using torvex::setOption;
using torvex::test::CapturedOutput;
using torvex::test::DecimalCommaLocale;

namespace {

struct IntegerOption {
    const char* name;
    char type;
    int CTestSet::*field;
};

// Every numeric option, with the type letter it must have and the field it must write.
const IntegerOption integerOptions[] = {
    {"clients", 'i', &CTestSet::clients},
    {"requests", 'i', &CTestSet::requests},
    {"httpver", '1', &CTestSet::httpver},
    {"sslver", 'i', &CTestSet::sslver},
    {"port", 'i', &CTestSet::port},
    {"reportinfo", 'b', &CTestSet::reportinfo},
    {"printdate", 'b', &CTestSet::reportinfo},
    {"appendresult", 'b', &CTestSet::appendresult},
    {"summarytimes", 'b', &CTestSet::summarytimes},
    {"log", 'b', &CTestSet::log},
    {"proxyemulation", 'b', &CTestSet::proxyemulation},
    {"timeout", 'i', &CTestSet::timeout},
    {"timestamp", 'b', &CTestSet::timestamp},
    {"sumredirecttime", 'b', &CTestSet::sumredirecttime},
    {"showbadresults", 'b', &CTestSet::showbadresults},
    {"secure", 'b', &CTestSet::secure},
    {"method", 'm', &CTestSet::method},
    {"keepalive", 'b', &CTestSet::keepalive},
    {"delay", 'i', &CTestSet::delay},
    {"softdelay", 'b', &CTestSet::softdelay},
    {"delaystart", 'i', &CTestSet::delaystart},
    {"maxtime", 'i', &CTestSet::maxtime},
    {"abortseq", 'b', &CTestSet::abortseq},
    {"noredir", 'b', &CTestSet::noredir},
    {"proxynocache", 'i', &CTestSet::proxynocache},
    {"nodetails", 'i', &CTestSet::nodetails},
    {"maxrequests", 'i', &CTestSet::maxrequests},
    {"nowait", 'i', &CTestSet::nowait},
    {"exacttiminginterval", 'i', &CTestSet::exacttiminginterval},
    {"ignoreerrors", 'b', &CTestSet::ignoreerrors},
    {"timingmode", 'i', &CTestSet::timingmode},
    {"maxspeed", 'i', &CTestSet::maxspeed},
    {"objectiveid", 'i', &CTestSet::objectiveid},
    {"customproxy", 'i', &CTestSet::customproxy},
    {"bypassproxy", 'i', &CTestSet::bypassproxy},
    {"firstuser", 'i', &CTestSet::firstuser},
};

// Every text option with its longest accepted value.
const std::pair<const char*, int> textOptions[] = {
    {"server", 255},        {"proxymask", 31},
    {"httperrorsymbol", 8}, {"socketerrorsymbol", 8},
    {"failerrorsymbol", 8}, {"timeouterrorsymbol", 8},
    {"uri", 511},           {"outfile", 255},
    {"scriptfile", 255},    {"script", 255},
    {"proxy", 255},         {"projectname", 63},
    {"description", 63},    {"endofscript", 255},
    {"authorization", 255}, {"logdir", 269},
    {"reportdir", 269},     {"proxyexceptions", 511},
};

} // namespace

TEST(Options, TableHasEveryOptionWithItsTypeAndField) {
    CTestSet t;
    EXPECT_EQ(t.options.size(), std::size(integerOptions) + std::size(textOptions) + 1);
    for (const IntegerOption& o : integerOptions) {
        const torvex::OptionRecord* record = t.options.find(o.name);
        ASSERT_NE(record, nullptr) << o.name;
        EXPECT_EQ(record->type, o.type) << o.name;
        EXPECT_EQ(record->target.integer, &(t.*o.field)) << o.name;
    }
    for (auto [name, limit] : textOptions) {
        const torvex::OptionRecord* record = t.options.find(name);
        ASSERT_NE(record, nullptr) << name;
        EXPECT_EQ(record->type, 's') << name;
        EXPECT_EQ(record->size, limit + 1) << name;
    }
    ASSERT_NE(t.options.find("round"), nullptr);
    EXPECT_EQ(t.options.find("round")->target.real, &t.round);
}

TEST(Options, TextValuesUpToTheirLimitAreKeptLongerOnesLeaveTheOptionEmpty) {
    CapturedOutput out;
    for (auto [name, limit] : textOptions) {
        CTestSet t;
        out.clear();
        std::string longest(limit, 'x');
        ASSERT_EQ(setOption(t, name, longest.c_str()), 1) << name;
        EXPECT_EQ(std::string(t.options.find(name)->target.text), longest);
        EXPECT_EQ(setOption(t, name, (longest + "y").c_str()), 0) << name;
        EXPECT_EQ(out.only(), "Value of " + std::string(name) + " cannot be longer than " +
                                  std::to_string(limit + 1));
        EXPECT_STREQ(t.options.find(name)->target.text, "") << name;
    }
}

TEST(Options, IntegersNeedALeadingDigit) {
    CapturedOutput out;
    CTestSet t;
    EXPECT_EQ(setOption(t, "clients", "5x"), 1);
    EXPECT_EQ(t.clients, 5);
    EXPECT_EQ(setOption(t, "clients", "99999999999999"), 1);
    EXPECT_EQ(t.clients, INT_MAX);
    for (const char* bad : {"-5", " 5", "", "+5", "x5"}) {
        EXPECT_EQ(setOption(t, "clients", bad), 0) << bad;
        EXPECT_EQ(t.clients, INT_MAX) << bad;
    }
    EXPECT_EQ(out.messages(),
              std::vector<std::string>(5, "Integer number expected as a value of clients"));
}

TEST(Options, FlagsTakeWordsOrTheirFirstDigit) {
    CapturedOutput out;
    CTestSet t;
    const std::pair<const char*, int> accepted[] = {{"Yes", 1}, {"OFF", 0}, {"1abc", 1}, {"0", 0},
                                                    {"on", 1},  {"NO", 0},  {"0yes", 0}};
    for (auto [value, expected] : accepted) {
        t.keepalive = 7;
        EXPECT_EQ(setOption(t, "keepalive", value), 1) << value;
        EXPECT_EQ(t.keepalive, expected) << value;
    }
    t.keepalive = 1;
    for (const char* bad : {"", "2", "true", "yes please", " 1"}) {
        EXPECT_EQ(setOption(t, "keepalive", bad), 0) << bad;
        EXPECT_EQ(t.keepalive, 1) << bad; // refused values change nothing
    }
    EXPECT_EQ(out.messages(), std::vector<std::string>(
                                  5, "Only 0,no,off,1,yes,on expected as a value of keepalive"));
}

TEST(Options, MethodsZeroOneAndFloatingPoint) {
    CapturedOutput out;
    CTestSet t;
    EXPECT_EQ(setOption(t, "method", "post"), 1);
    EXPECT_EQ(t.method, 1);
    EXPECT_EQ(setOption(t, "method", "Get"), 1);
    EXPECT_EQ(t.method, 0);
    EXPECT_EQ(setOption(t, "method", "PUT"), 0);
    EXPECT_EQ(setOption(t, "method", "GETX"), 0);

    EXPECT_EQ(setOption(t, "httpver", "0abc"), 1);
    EXPECT_EQ(t.httpver, 0);
    EXPECT_EQ(setOption(t, "httpver", "2"), 0);
    EXPECT_EQ(t.httpver, 0);

    EXPECT_EQ(setOption(t, "round", "2.5ms"), 1);
    EXPECT_DOUBLE_EQ(t.round, 2.5);
    EXPECT_EQ(setOption(t, "round", "ms"), 0);
    EXPECT_DOUBLE_EQ(t.round, 2.5);

    EXPECT_EQ(out.messages(), (std::vector<std::string>{
                                  "Only GET or POST expected as a value of method",
                                  "Only GET or POST expected as a value of method",
                                  "Only 0 or 1 expected as a value of httpver",
                                  "Floating point number expected as a value of round",
                              }));
}

TEST(Options, DecimalPointIsADotWhateverTheLocale) {
    DecimalCommaLocale german;
    if (!german.available()) GTEST_SKIP() << "localedef cannot build de_DE here";
    CTestSet t;
    EXPECT_EQ(setOption(t, "round", "0.5"), 1);
    EXPECT_DOUBLE_EQ(t.round, 0.5);
}

TEST(Options, NamesAreExactAndUnknownOnesAreSilent) {
    CapturedOutput out;
    CTestSet t;
    EXPECT_EQ(setOption(t, "Clients", "5"), 0);
    EXPECT_EQ(setOption(t, "clients ", "5"), 0);
    EXPECT_EQ(setOption(t, "nosuchoption", "5"), 0);
    EXPECT_EQ(t.clients, 1);
    EXPECT_TRUE(out.empty());

    EXPECT_EQ(setOption(t, "printdate", "no"), 1); // printdate and reportinfo share a field
    EXPECT_EQ(t.reportinfo, 0);
    EXPECT_EQ(setOption(t, "scriptfile", "drive.js"), 1);
    EXPECT_STREQ(t.script.c_str(), "drive.js");
    EXPECT_EQ(setOption(t, "proxy", "socks5://u:p@gw:1081"), 1);
    EXPECT_STREQ(t.proxy.c_str(), "socks5://u:p@gw:1081"); // kept as given with customproxy 1
}

TEST(Options, RateSetsTheDelayOfDefinitionsThatKeptTheOldDefault) {
    CapturedOutput out;
    CTestSet t;
    t.definitions.insert("plain", {}).delaymin = 0;
    t.definitions.insert("own", {}).delaymin   = 250;

    EXPECT_EQ(setOption(t, "rate", "60"), 1);
    EXPECT_EQ(t.delay, 60000);
    EXPECT_EQ(t.softdelay, 1);
    EXPECT_EQ(t.definitions.find("plain")->delaymin, 60000);
    EXPECT_EQ(t.definitions.find("own")->delaymin, 250);

    // A second rate moves only the definitions that followed the first one.
    EXPECT_EQ(setOption(t, "RATE", "7200x"), 1);
    EXPECT_EQ(t.delay, 500);
    EXPECT_EQ(t.definitions.find("plain")->delaymin, 500);
    EXPECT_EQ(t.definitions.find("own")->delaymin, 250);
    EXPECT_TRUE(out.empty());
}

TEST(Options, RateOfZeroOrNotANumberIsRefusedAndChangesNothing) {
    CapturedOutput out;
    CTestSet t;
    t.delay = 123;
    for (const char* bad : {"0", "abc", "", "-60", "000"}) {
        EXPECT_EQ(setOption(t, "rate", bad), 0) << bad;
        EXPECT_EQ(t.delay, 123) << bad;
        EXPECT_EQ(t.softdelay, 0) << bad;
    }
    EXPECT_EQ(out.messages(),
              std::vector<std::string>(5, "Integer number above 0 expected as a value of rate"));
    // More than one request per millisecond means no delay at all.
    EXPECT_EQ(setOption(t, "rate", "4000000"), 1);
    EXPECT_EQ(t.delay, 0);
}
