// A site simulator on free loopback ports and a configuration pointing at it,
// shared by the end-to-end tests of the site searches and of sorvix-cli.
#pragma once
#include <gtest/gtest.h>

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

class SimFixture : public ::testing::Test {
protected:
    void SetUp() override {
        sitesim::SiteSimConfig simConfig;
        simConfig.ports = {0, 0, 0, 0};
        std::string error;
        ASSERT_TRUE(sim.Start(simConfig, &error)) << error;
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

    sitesim::SiteSim sim;
    Config config;
    std::unique_ptr<SiteNet> net;
};

}  // namespace sorvix::test
