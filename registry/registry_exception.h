#pragma once

#include <stdexcept>

// Raised when a registry value exists but cannot be read as text.
class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
