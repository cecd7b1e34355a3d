#pragma once

#include "devicenodesource.h"

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A machine described as a table of device nodes, for driving the driver setup policy.
struct FakeNode
{
    std::optional<std::u16string> hardwareId; // empty: the read fails with error 13
    std::optional<std::u16string> service;    // empty: no service property (error 13)
    std::optional<std::u16string> description = u"USB Input Device";
    bool exposesUsbDeviceInterface = false; // listed by NodeScope::UsbDevices
};

struct FakeMachine
{
    explicit FakeMachine(std::vector<FakeNode> nodes) : nodes(std::move(nodes)) {}
    FakeMachine failingOpen(uint32_t error) { return openError = error, *this; }
    FakeMachine endingEnumerationWith(uint32_t error) { return enumerationEnd = error, *this; }
    FakeMachine failingDescriptions(uint32_t error) { return descriptionError = error, *this; }
    FakeMachine installing(const std::u16string &hardwareId, InstallOutcome outcome)
    {
        return installOutcomes[hardwareId] = outcome, *this;
    }
    FakeMachine generating(const std::string &interfaceNumber, const std::string &path)
    {
        return packages[interfaceNumber] = path, *this;
    }

    std::vector<FakeNode> nodes;
    uint32_t openError = 0;        // non-zero: the set cannot be created
    uint32_t enumerationEnd = 0;   // non-zero: the enumeration fails with it after the nodes
    uint32_t descriptionError = 0; // non-zero: every description read fails with it
    std::map<std::u16string, InstallOutcome> installOutcomes; // by hardware ID; default success
    // Interface number -> path the generator returns; by default "<folder>\mi<number>.inf".
    std::map<std::string, std::string> packages;
};

class FakeDeviceNodeSource : public DeviceNodeSource
{
public:
    explicit FakeDeviceNodeSource(FakeMachine machine) : machine_(std::move(machine)) {}

    std::vector<std::pair<std::u16string, std::u16string>> installs; // hardware ID, package
    std::vector<std::pair<std::string, std::string>> generations;    // folder, interface number

    std::unique_ptr<DeviceNodeSet> open(NodeScope scope, uint32_t &error) override
    {
        if (machine_.openError) {
            error = machine_.openError;
            return nullptr;
        }
        std::vector<FakeNode> listed;
        for (const auto &node : machine_.nodes)
            if (scope == NodeScope::AllClasses || node.exposesUsbDeviceInterface)
                listed.push_back(node);
        return std::make_unique<Set>(std::move(listed), machine_.enumerationEnd,
                                     machine_.descriptionError);
    }

    InstallOutcome installDriver(const std::u16string &hardwareId,
                                 const std::u16string &packagePath) override
    {
        installs.emplace_back(hardwareId, packagePath);
        const auto it = machine_.installOutcomes.find(hardwareId);
        return it == machine_.installOutcomes.end() ? InstallOutcome{true, false, 0} : it->second;
    }

    std::string preparePackage(const std::string &folderUtf8,
                               const std::string &interfaceNumber) override
    {
        generations.emplace_back(folderUtf8, interfaceNumber);
        const auto it = machine_.packages.find(interfaceNumber);
        return it == machine_.packages.end() ? folderUtf8 + "\\mi" + interfaceNumber + ".inf"
                                             : it->second;
    }

private:
    static constexpr uint32_t kInvalidData = 13;

    class Set : public DeviceNodeSet
    {
    public:
        Set(std::vector<FakeNode> nodes, uint32_t endError, uint32_t descriptionError)
            : nodes_(std::move(nodes)), endError_(endError), descriptionError_(descriptionError)
        {
        }
        NodeStep next() override
        {
            if (index_ < nodes_.size()) {
                current_ = &nodes_[index_++];
                return {NodeStep::Node, 0};
            }
            return endError_ ? NodeStep{NodeStep::Failed, endError_} : NodeStep{NodeStep::End, 0};
        }
        PropertyRead property(NodeProperty which) override
        {
            if (which == NodeProperty::DeviceDescription && descriptionError_)
                return {false, {}, descriptionError_};
            const auto &value = which == NodeProperty::HardwareId ? current_->hardwareId
                                : which == NodeProperty::Service  ? current_->service
                                                                  : current_->description;
            return value ? PropertyRead{true, *value, 0} : PropertyRead{false, {}, kInvalidData};
        }

    private:
        std::vector<FakeNode> nodes_;
        uint32_t endError_;
        uint32_t descriptionError_;
        std::size_t index_ = 0;
        const FakeNode *current_ = nullptr;
    };

    FakeMachine machine_;
};
