#pragma once

#include "devicenodesource.h"

#include <halyard.h>

// The device nodes of a Windows machine through SetupAPI, installed with the Plug and Play
// installer; packages come from the halyard generator, which the caller passes in.
class Win32DeviceNodeSource : public DeviceNodeSource
{
public:
    using GeneratorLogFn = halyard_log_fn;
    // The halyard export, or a stand-in with its signature.
    using GeneratorFn = decltype(&halyard);

    Win32DeviceNodeSource(GeneratorFn generator, GeneratorLogFn generatorLog);

    std::unique_ptr<DeviceNodeSet> open(NodeScope scope, uint32_t &error) override;
    InstallOutcome installDriver(const std::u16string &hardwareId,
                                 const std::u16string &packagePath) override;
    std::string preparePackage(const std::string &folderUtf8,
                               const std::string &interfaceNumber) override;

private:
    GeneratorFn generator_;
    GeneratorLogFn generatorLog_;
};
