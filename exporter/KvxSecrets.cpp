#include "KvxSecrets.h"

#include <cstdlib>

TSecret ReadPasswordEnv(const std::string& variable)
{
    const char* value = std::getenv(variable.c_str());
    if (!value) return TSecret::Failed("the environment variable " + variable + " is not set");
    if (!*value) return TSecret::Failed("the environment variable " + variable + " is empty");
    TSecret s;
    s.Ok = true;
    s.Value = value;
    return s;
}

TSecret ReadPassword(const TPasswordSource& source)
{
    return source.Kind == TPasswordSource::File ? ReadPasswordFile(source.Where)
                                                : ReadPasswordEnv(source.Where);
}
