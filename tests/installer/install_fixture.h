/* A package on the simulated desktop and a fresh installer state per test. */
#ifndef QUORBELL_INSTALL_FIXTURE_H
#define QUORBELL_INSTALL_FIXTURE_H

#include "package_config.h"
#include "sim_desktop.h"

#include <gtest/gtest.h>

#include <string>

/* The package's location on the simulated drive. */
extern const char *const PACKAGE_PATH;

std::string patternBytes(size_t count, unsigned seed);

/* Packs `plain` into one stream with our encoder. */
std::string packStream(const std::string &plain);

/* Members and settings of a test package; `build` lays it out as a
 * producer would and plants the scrambled block in the installer. */
struct TestPackage {
    PackageConfig config{};
    std::string image = std::string(512, 'M');  /* stands for the executable */
    std::string lead, saver, tail, append1, append2;
    bool hasLead = false;

    TestPackage();
    void setText(char (&field)[CONFIG_TEXT_BYTES], const std::string &text);
    /* The payload as the configured mode stores it. */
    std::string payload() const;
    /* Writes the package file and the installer's scrambled block. */
    void install(const char *path = PACKAGE_PATH);
    /* Plants `config`, scrambled, as the installer's block. */
    void plantConfig() const;
};

class InstallTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /* Runs the installer as if started from `argument0`. */
    int run(const char *argument0 = PACKAGE_PATH);

    static std::string windowsFile(const std::string &name);
    static bool exists(const std::string &name) { return sim::fileExists(windowsFile(name)); }
    static std::string contents(const std::string &name) { return sim::readFile(windowsFile(name)); }
    static std::vector<std::string> messageTexts();
    static std::string systemIni();

    TestPackage package;
};

#endif
