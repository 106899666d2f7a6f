// Where an instance's password comes from: a file that only its owner may
// read (KvPasswordFile.h), or an environment variable. Never the command
// line, never the log.
#pragma once

#include <string>

#include "KvPasswordFile.h"
#include "KvxConfig.h"

TSecret ReadPasswordEnv(const std::string& variable);
TSecret ReadPassword(const TPasswordSource& source);
