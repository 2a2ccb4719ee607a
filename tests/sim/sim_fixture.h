// A site simulator on free loopback ports and a configuration pointing at it,
// shared by the end-to-end tests of the site searches and of sorvix-cli; the
// simulator alone for its own tests; and short ways to write fault plans.
#pragma once
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

#include "app/core/config.h"
#include "sites/site_net.h"
#include "sites/site_search.h"
#include "text/text.h"
#include "tools/sitesim/sitesim.h"

namespace sorvix::test {

// UTF-8 source literal -> the GBK text the program holds.
inline Text G(const std::string& utf8) { return Utf8ToGbk(utf8); }

// A fault of one kind, on every target or only on those containing
// `pathContains`.
using loopback::Fault;

// Answers sent a piece every dripMs, for requests 1..toRequest (0: all).
inline sitesim::FaultPlan Drip(int dripMs, int toRequest = 0) {
    sitesim::FaultPlan plan = Fault(sitesim::FaultKind::kDrip);
    plan.dripMs = dripMs;
    plan.toRequest = toRequest;
    return plan;
}

// Answers of `bytes` bytes: the page, then padding.
inline sitesim::FaultPlan HugeBody(std::size_t bytes) {
    sitesim::FaultPlan plan = Fault(sitesim::FaultKind::kHugeBody);
    plan.hugeBytes = bytes;
    return plan;
}

// The simulator alone, started on ports the system picks.
class SimServerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        sitesim::SiteSimConfig simConfig;
        simConfig.ports = {0, 0, 0, 0};
        std::string error;
        ASSERT_TRUE(sim.Start(simConfig, &error)) << error;
    }
    std::uint16_t Port(sitesim::Site site) const { return sim.Port(site); }

    sitesim::SiteSim sim;
};

// The simulator, a configuration naming its sites, and the real net layer.
class SimFixture : public SimServerFixture {
protected:
    void SetUp() override {
        SimServerFixture::SetUp();
        if (HasFatalFailure()) return;
        config.magnet = sim.Address(sitesim::Site::kMagnet);
        config.shareIndex = sim.Address(sitesim::Site::kShareIndex);
        config.searchBaseEncoded = SearchBaseEncode(sim.Address(sitesim::Site::kSearchBase));
        config.blog = sim.Address(sitesim::Site::kBlog);
        // Short limits so the fault cases end quickly; loopback answers in
        // milliseconds otherwise.
        config.network.connectTimeoutMs = 2000;
        config.network.sendTimeoutMs = 2000;
        config.network.receiveTimeoutMs = 1500;
        config.network.overallDeadlineMs = 6000;
        config.network.maxBodyBytes = 4u << 20;
        net = MakeNetworkSiteNet(config.network);
    }

    // The same settings as a sorvix.ini file, written below the test's temp
    // directory; returns its path.
    std::string WriteIni(const std::string& name) const {
        std::string path = ::testing::TempDir() + name;
        std::ofstream f(path, std::ios::binary | std::ios::trunc);
        f << "\xEF\xBB\xBF; written by the sim tests\n[sites]\n"
          << "magnet = " << sim.Address(sitesim::Site::kMagnet) << "\n"
          << "shareindex = " << sim.Address(sitesim::Site::kShareIndex) << "\n"
          << "searchbase = " << sim.Address(sitesim::Site::kSearchBase) << "\n"
          << "blog = " << sim.Address(sitesim::Site::kBlog) << "\n"
          << "[network]\nconnect_timeout_ms = 2000\nreceive_timeout_ms = 1500\n";
        return path;
    }

    Config config;
    std::unique_ptr<SiteNet> net;
};

}  // namespace sorvix::test
