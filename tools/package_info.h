/* What info and verify print about an inspected package: the configuration
 * and member table as text or JSON, and verify's one summary line. */
#ifndef QUORBELL_PACKAGE_INFO_H
#define QUORBELL_PACKAGE_INFO_H

#include "package_reader.h"

#include <nlohmann/json.hpp>
#include <string>

nlohmann::json reportJson(const PackageReport &report);
std::string reportText(const PackageReport &report);

/* "PATH: sound: ..." naming mode, members, payload and what was checked. */
std::string verifySummary(const PackageReport &report);

#endif
