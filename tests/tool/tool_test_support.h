/* Shared pieces of the tool tests: a scratch directory per test, a small
 * synthetic installer stub, running the built quorbell binary, and the real
 * sample files the build found. */
#ifndef QUORBELL_TOOL_TEST_SUPPORT_H
#define QUORBELL_TOOL_TEST_SUPPORT_H

#include "package_config.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

std::string readBytes(const std::string &path);
void writeBytes(const std::string &path, const std::string &bytes);

/* A minimal valid PE32 image: headers and one .data section that holds
 * `blocks` copies of the bare installer's scrambled configuration block. */
std::string syntheticStub(int blocks = 1);

/* The bare installer's block, unscrambled: signature and nothing else. */
PackageConfig bareConfig();

struct RunResult {
    int exitCode;
    std::string out;
    std::string err;
};

/* Runs the built quorbell (or `program`) with `args`, each passed as one
 * argument. */
RunResult runQuorbell(const std::vector<std::string> &args, const std::string &program = QB_QUORBELL);

/* Runs a shell command line; its exit code. */
int runShell(const std::string &command);

/* Paths of real files found at configure time (may be empty). */
std::vector<std::string> realPeFiles();
std::string convertProgram();
/* Whether osslsigncode and openssl were found. */
bool canSign();
std::string realStubPath();

/* Each test gets a fresh directory, removed afterwards. */
class ToolTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string path(const std::string &name) const;
    std::string write(const std::string &name, const std::string &bytes);
    /* The synthetic stub, written once per test as stub.exe. */
    std::string stub();
    /* Every file name in the directory, for checking nothing was left. */
    std::vector<std::string> listing() const;
    /* A BMP made by ImageMagick's convert; empty without it. */
    std::string makeBmp(const std::string &name);
    /* Signs `package` into `signedName` with a throwaway self-signed
     * certificate (cert.pem in the test dir); the osslsigncode run's exit
     * code and output. */
    RunResult sign(const std::string &package, const std::string &signedName);

    std::string dir_;
};

#endif
