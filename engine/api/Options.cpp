#include "api/Options.h"

#include "api/LeadingNumber.h"
#include "api/Output.h"
#include "api/TestSet.h"
#include "http/SystemProxy.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <strings.h>

namespace torvex {
namespace {

bool startsWithDigit(const char* value) {
    return std::isdigit(static_cast<unsigned char>(*value));
}

// Floating-point values always use a dot, whatever the user's locale: switching the process
// locale is unsafe while other threads run.
bool readReal(const char* value, double& out) {
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    char* end               = nullptr;
    double v                = strtod_l(value, &end, cLocale);
    if (end == value) return false;
    out = v;
    return true;
}

bool readFlag(const char* value, int& out) {
    if (*value == '0' || *value == '1') {
        out = *value - '0';
        return true;
    }
    for (const char* no : {"no", "off"})
        if (strcasecmp(value, no) == 0) return out = 0, true;
    for (const char* yes : {"yes", "on"})
        if (strcasecmp(value, yes) == 0) return out = 1, true;
    return false;
}

// Converts and stores `value`; false when it is refused (after the message).
bool store(const char* name, OptionRecord& option, const char* value) {
    switch (option.type) {
    case 'i':
        if (!startsWithDigit(value)) {
            message("Integer number expected as a value of %s\n", name);
            return false;
        }
        *option.target.integer = leadingNumber(value);
        return true;
    case 's':
        option.target.text[0] = '\0';
        if (std::strlen(value) >= static_cast<std::size_t>(option.size)) {
            message("Value of %s cannot be longer than %d\n", name, option.size);
            return false;
        }
        std::strcpy(option.target.text, value);
        return true;
    case 'b':
        if (!readFlag(value, *option.target.integer)) {
            message("Only 0,no,off,1,yes,on expected as a value of %s\n", name);
            return false;
        }
        return true;
    case 'f':
        if (!readReal(value, *option.target.real)) {
            message("Floating point number expected as a value of %s\n", name);
            return false;
        }
        return true;
    case 'm':
        if (strcasecmp(value, "GET") == 0)
            *option.target.integer = 0;
        else if (strcasecmp(value, "POST") == 0)
            *option.target.integer = 1;
        else {
            message("Only GET or POST expected as a value of %s\n", name);
            return false;
        }
        return true;
    case '1':
        if (*value != '0' && *value != '1') {
            message("Only 0 or 1 expected as a value of %s\n", name);
            return false;
        }
        *option.target.integer = *value - '0';
        return true;
    default:
        message("Unknown option type: %c\n", option.type);
        return true;
    }
}

// "rate" is n requests per user per hour: a delay of 3600000 / n ms, deducting the request time.
// Definitions that still carry the old default delay follow the new one.
int setRate(CTestSet& t, const char* name, const char* value) {
    int n = leadingNumber(value);
    if (n <= 0) {
        message("Integer number above 0 expected as a value of %s\n", name);
        return 0;
    }
    int previous = t.delay;
    t.delay      = 3600000 / n;
    t.softdelay  = 1;
    t.definitions.forEach([&](const std::string&, RequestDefinition& d) {
        if (d.delaymin == previous) d.delaymin = t.delay;
    });
    return 1;
}

// With customproxy 0 the proxy options always mirror the system's proxy settings.
void refreshSystemProxy(CTestSet& t) {
    std::optional<SystemProxy> system = readSystemProxy();
    if (!system) {
        t.proxy.clear();
        return;
    }
    t.proxy.set(system->proxy);
    t.proxyexceptions.set(system->exceptions);
    t.bypassproxy = system->bypassLocal ? 1 : 0;
}

} // namespace

void registerOptions(CTestSet& t) {
    auto number = [&](const char* name, char type, int& field) {
        OptionRecord r{type, 0};
        r.target.integer = &field;
        t.options.insert(name, r);
    };
    auto real = [&](const char* name, double& field) {
        OptionRecord r{'f', 0};
        r.target.real = &field;
        t.options.insert(name, r);
    };
    auto text = [&](const char* name, auto& field) {
        OptionRecord r{'s', static_cast<int>(field.capacity)};
        r.target.text = field.data();
        t.options.insert(name, r);
    };

    number("clients", 'i', t.clients);
    number("requests", 'i', t.requests);
    text("server", t.server);
    number("httpver", '1', t.httpver);
    number("sslver", 'i', t.sslver);
    number("port", 'i', t.port);
    number("reportinfo", 'b', t.reportinfo);
    number("printdate", 'b', t.reportinfo);
    number("appendresult", 'b', t.appendresult);
    number("summarytimes", 'b', t.summarytimes);
    real("round", t.round);
    number("log", 'b', t.log);
    number("proxyemulation", 'b', t.proxyemulation);
    text("proxymask", t.proxymask);
    number("timeout", 'i', t.timeout);
    number("timestamp", 'b', t.timestamp);
    number("sumredirecttime", 'b', t.sumredirecttime);
    text("httperrorsymbol", t.httperrorsymbol);
    text("socketerrorsymbol", t.socketerrorsymbol);
    text("failerrorsymbol", t.failerrorsymbol);
    text("timeouterrorsymbol", t.timeouterrorsymbol);
    number("showbadresults", 'b', t.showbadresults);
    number("secure", 'b', t.secure);
    text("uri", t.uri);
    number("method", 'm', t.method);
    number("keepalive", 'b', t.keepalive);
    number("delay", 'i', t.delay);
    number("softdelay", 'b', t.softdelay);
    text("outfile", t.outfile);
    number("delaystart", 'i', t.delaystart);
    number("maxtime", 'i', t.maxtime);
    number("abortseq", 'b', t.abortseq);
    number("noredir", 'b', t.noredir);
    text("scriptfile", t.script);
    text("script", t.script);
    text("proxy", t.proxy);
    number("proxynocache", 'i', t.proxynocache);
    text("projectname", t.projectname);
    text("description", t.description);
    text("endofscript", t.endofscript);
    number("nodetails", 'i', t.nodetails);
    number("maxrequests", 'i', t.maxrequests);
    number("nowait", 'i', t.nowait);
    number("exacttiminginterval", 'i', t.exacttiminginterval);
    number("ignoreerrors", 'b', t.ignoreerrors);
    number("timingmode", 'i', t.timingmode);
    text("authorization", t.authorization);
    number("maxspeed", 'i', t.maxspeed);
    text("logdir", t.logdir);
    text("reportdir", t.reportdir);
    number("objectiveid", 'i', t.objectiveid);
    number("customproxy", 'i', t.customproxy);
    number("bypassproxy", 'i', t.bypassproxy);
    text("proxyexceptions", t.proxyexceptions);
    number("firstuser", 'i', t.firstuser);
}

int setOption(CTestSet& t, const char* name, const char* value) {
    if (strcasecmp(name, "rate") == 0) return setRate(t, name, value);
    OptionRecord* option = t.options.find(name);
    if (!option) return 0;
    if (!store(name, *option, value)) return 0;
    if (t.customproxy == 0) refreshSystemProxy(t);
    return 1;
}

} // namespace torvex
