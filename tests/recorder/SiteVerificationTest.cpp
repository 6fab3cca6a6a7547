// The recording proxy checks each HTTPS site's certificate before it vouches for the site to the
// browser: sites that verify get a certificate of Torvex's trusted authority, all others one of
// an untrusted issuer naming the failure, so the browser warns and the tester decides.
#include "http/support/FixtureServer.h"
#include "http/support/TlsIdentity.h"
#include "recorder/BrowserClient.h"
#include "recorder/CertificateMaking.h"
#include "recorder/ProxyTestSupport.h"
#include "recorder/SignedSiteServer.h"
#include "recorder/UntrustedIssuer.h"

#include <gtest/gtest.h>

#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <chrono>
#include <future>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace torvex::test {
namespace {

using namespace std::chrono_literals;

constexpr auto npos = std::string::npos;

// A test authority and the site certificates it signs, made in memory.
struct TestAuthority {
    KeyPtr key                 = newCertificateKey();
    CertificatePtr certificate = makeIssuerCertificate(key.get(), "Torvex tests", "Site CA", 2);
    KeyPtr siteKey             = newCertificateKey();

    CertificatePtr siteCertificate(const std::string& host) const {
        return makeHostCertificate(host, {}, siteKey.get(), certificate.get(), key.get());
    }
    std::string pem() const {
        BIO* bio = BIO_new(BIO_s_mem());
        PEM_write_bio_X509(bio, certificate.get());
        char* data        = nullptr;
        const long length = BIO_get_mem_data(bio, &data);
        std::string text(data, static_cast<std::size_t>(length));
        BIO_free(bio);
        return text;
    }
};

std::string entry(X509_NAME* name, int nid) {
    char text[256] = {};
    X509_NAME_get_text_by_NID(name, nid, text, sizeof text);
    return text;
}

std::string issuerOf(X509* certificate) {
    return certificate ? entry(X509_get_issuer_name(certificate), NID_commonName) : "";
}

std::string unitOf(X509* certificate) {
    return certificate ? entry(X509_get_subject_name(certificate), NID_organizationalUnitName) : "";
}

class SiteVerificationTest : public ProxyTest {
protected:
    std::unique_ptr<RecordingProxy> startChecking(const std::string& extraTrustedPem = {}) {
        RecordingProxy::Options options;
        options.extraTrustedPem = extraTrustedPem;
        return startProxy(options);
    }
    // The certificate the proxy presents for a tunnel to `authority`, taken without trusting it.
    static std::string presentedIssuer(RecordingProxy& proxy, const std::string& authority,
                                       const std::string& host, std::string* unit = nullptr) {
        BrowserClient browser(proxy.port());
        std::string error;
        const std::string sni = host == "127.0.0.1" ? "" : host;
        if (!browser.openTunnel(authority, "", host, sni, error)) return "no tunnel: " + error;
        if (unit != nullptr) *unit = unitOf(browser.peerCertificate());
        return issuerOf(browser.peerCertificate());
    }
};

TEST_F(SiteVerificationTest, ASiteSignedByATrustedAuthorityIsVouchedForOverTheCheckedConnection) {
    TestAuthority authority;
    const CertificatePtr leaf = authority.siteCertificate("127.0.0.1");
    SignedSiteServer site(leaf.get(), authority.siteKey.get(), "verified");
    auto proxy = startChecking(authority.pem());

    BrowserClient browser(proxy->port());
    std::string error;
    ASSERT_TRUE(browser.openTunnel(site.authority(), proxy->authorityCertificatePem(), "127.0.0.1",
                                   "", error))
        << error;
    EXPECT_EQ(issuerOf(browser.peerCertificate()), "Torvex Recording Authority");
    const auto reply =
        browser.exchange(requestText("GET", "/", site.authority(), "Accept: text/html\r\n"));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->body, "verified");
    // The connection that was checked carries the first request: the site is reached once.
    EXPECT_EQ(site.connections(), 1);
    ASSERT_EQ(navigations().size(), 1u);
    EXPECT_EQ(navigations()[0].url, "https://" + site.authority() + "/");
    proxy->stop();
    EXPECT_TRUE(problems().empty());

    // Without the test authority among the trusted ones, the same site is not vouched for.
    auto unaware = startChecking();
    std::string unit;
    EXPECT_EQ(presentedIssuer(*unaware, site.authority(), "127.0.0.1", &unit),
              UntrustedIssuer::kName);
    EXPECT_NE(unit.find("unable to get local issuer certificate"), npos) << unit;
}

TEST_F(SiteVerificationTest, ASelfSignedSiteIsShownAsUntrustedYetTheTesterMayGoOn) {
    TlsIdentity identity;
    FixtureServer server(&identity);
    // Each answer closes the connection, so the second request needs a new one.
    server.setDefault(FixtureServer::replyAndClose(
        httpResponse(200, "self-signed site", "Connection: close\r\n")));
    auto proxy             = startChecking();
    const std::string site = hostOf(server);

    std::string error;
    BrowserClient trusting(proxy->port()); // trusts Torvex's authority only, so it refuses
    EXPECT_FALSE(
        trusting.openTunnel(site, proxy->authorityCertificatePem(), "127.0.0.1", "", error));

    BrowserClient goesOn(proxy->port()); // the tester accepted the warning
    ASSERT_TRUE(goesOn.openTunnel(site, "", "127.0.0.1", "", error)) << error;
    X509* presented = goesOn.peerCertificate();
    EXPECT_EQ(issuerOf(presented), UntrustedIssuer::kName);
    EXPECT_NE(unitOf(presented).find("self-signed certificate"), npos) << unitOf(presented);
    EXPECT_EQ(X509_check_ip_asc(presented, "127.0.0.1", 0), 1);
    for (const char* path : {"/first", "/second"}) {
        const auto reply = goesOn.exchange(requestText("GET", path, site, "Accept: text/html\r\n"));
        ASSERT_TRUE(reply) << path;
        EXPECT_EQ(reply->body, "self-signed site") << path;
    }
    ASSERT_EQ(server.requests().size(), 2u);
    EXPECT_NE(server.requests()[0].connection, server.requests()[1].connection);
    EXPECT_EQ(navigations().size(), 2u);

    // Reported once for the host, however many tunnels lead there.
    proxy->stop();
    const auto reported = problems();
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_NE(reported[0].find(site), npos) << reported[0];
    EXPECT_NE(reported[0].find("self-signed certificate"), npos) << reported[0];
}

TEST_F(SiteVerificationTest, ACertificateForAnotherNameOrAnExpiredOneIsUntrusted) {
    TestAuthority authority;
    const CertificatePtr leaf = authority.siteCertificate("other.invalid");
    SignedSiteServer site(leaf.get(), authority.siteKey.get(), "elsewhere");
    TlsIdentity expired({.validFromOffset = -48h, .validUntilOffset = -24h});
    FixtureServer expiredServer(&expired);
    auto proxy = startChecking(authority.pem() + expired.certificatePem());

    std::string unit;
    EXPECT_EQ(presentedIssuer(*proxy, site.authority(), "127.0.0.1", &unit),
              UntrustedIssuer::kName);
    EXPECT_NE(unit.find("IP address mismatch"), npos) << unit;
    const std::string byName = "localhost:" + std::to_string(site.port());
    EXPECT_EQ(presentedIssuer(*proxy, byName, "localhost", &unit), UntrustedIssuer::kName);
    EXPECT_NE(unit.find("hostname mismatch"), npos) << unit;
    // A trusted issuer does not make up for an expired certificate.
    EXPECT_EQ(presentedIssuer(*proxy, hostOf(expiredServer), "127.0.0.1", &unit),
              UntrustedIssuer::kName);
    EXPECT_NE(unit.find("certificate has expired"), npos) << unit;
    proxy->stop();
    EXPECT_EQ(problems().size(), 3u);
}

TEST_F(SiteVerificationTest, ACertificateThatTurnsBadWithinATunnelIsNotUsedUnwarned) {
    TestAuthority authority;
    const CertificatePtr good  = authority.siteCertificate("127.0.0.1");
    const CertificatePtr wrong = authority.siteCertificate("other.invalid");
    SignedSiteServer site(good.get(), authority.siteKey.get(), "page"); // closes after each
    auto proxy = startChecking(authority.pem());
    BrowserClient browser(proxy->port());
    std::string error;
    ASSERT_TRUE(browser.openTunnel(site.authority(), proxy->authorityCertificatePem(), "127.0.0.1",
                                   "", error))
        << error;
    const auto first = browser.exchange(requestText("GET", "/", site.authority()));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->body, "page");

    // The browser trusts this tunnel, so the next connection must verify as well.
    site.present(wrong.get());
    const auto second = browser.exchange(requestText("GET", "/", site.authority()));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->status, 502);
    EXPECT_NE(second->body.find("IP address mismatch"), npos) << second->body;
    EXPECT_EQ(site.requests(), 1);
}

TEST_F(SiteVerificationTest, ASiteThatCannotBeReachedAnswersTheConnectWith502) {
    auto proxy             = startChecking();
    const std::string dead = "127.0.0.1:" + std::to_string(closedPort());
    BrowserClient browser(proxy->port());
    const auto reply =
        browser.exchange("CONNECT " + dead + " HTTP/1.1\r\nHost: " + dead + "\r\n\r\n");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 502);
    EXPECT_NE(reply->body.find(dead), npos) << reply->body;
    EXPECT_NE(reply->body.find("refused"), npos) << reply->body;
    EXPECT_TRUE(reply->closed || browser.closedByPeer());
    proxy->stop();
    ASSERT_EQ(problems().size(), 1u);
    EXPECT_NE(problems()[0].find(dead), npos) << problems()[0];
}

TEST_F(SiteVerificationTest, TheUpstreamProxysTunnelIsCheckedLikeADirectConnection) {
    TlsIdentity identity({.commonName = "secure.invalid", .dnsNames = {"secure.invalid"}});
    FixtureServer tunnelling;
    tunnelling.setRawHandler([&](RawChannel& channel) {
        if (!channel.readUntil("\r\n\r\n", 5s) ||
            !channel.send("HTTP/1.1 200 Connection established\r\n\r\n") ||
            !channel.startTls(identity, 5s))
            return;
        if (channel.readRequest(5s)) channel.send(httpResponse(200, "tunnelled"));
    });
    RecordingProxy::Options options;
    options.extraTrustedPem = identity.certificatePem(); // a self-signed site pinned as trusted
    options.upstream = [&](const std::string&, const std::string&) { return hostOf(tunnelling); };
    auto proxy       = startProxy(options);

    BrowserClient browser(proxy->port());
    std::string error;
    ASSERT_TRUE(browser.openTunnel("secure.invalid:443", proxy->authorityCertificatePem(),
                                   "secure.invalid", "secure.invalid", error))
        << error;
    const auto reply = browser.exchange(requestText("GET", "/", "secure.invalid"));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->body, "tunnelled");
    proxy->stop();
    EXPECT_TRUE(problems().empty());
}

TEST_F(SiteVerificationTest, ExtraTrustedAuthoritiesThatAreNotCertificatesStopTheStart) {
    for (const std::string& pem :
         {std::string("not a certificate"), std::string("-----BEGIN CERTIFICATE-----\nAAAA\n"
                                                        "-----END CERTIFICATE-----\n")}) {
        RecordingProxy::Options options;
        options.authorityFolder = folder_.string();
        options.extraTrustedPem = pem;
        RecordingProxy proxy(options);
        std::string error;
        EXPECT_FALSE(proxy.start(error)) << pem;
        EXPECT_NE(error.find("trusted"), npos) << error;
    }
}

} // namespace
} // namespace torvex::test
