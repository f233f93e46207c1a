#pragma once
// The real stick through hidapi, loaded at run time so that the program also runs (in demo mode) where
// hidapi is not installed.
//
// A reader thread may wait in waitForReport (hid_read_timeout) while the window's thread writes: reads and
// writes use buffers of their own, and the handle is closed under a lock that every write holds, so a
// failed read never pulls the handle from under a write. A failed write only marks the stick lost; the
// next read closes the handle.

#include "link/hidapifunctions.h"
#include "link/stickaccess.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace lumeq {

class HidapiStick : public StickAccess {
public:
    // Loads the first of the libraries that loads (QLibrary names with major version 0) and initialises
    // hidapi. The default tries the hidraw backend first, then the libusb one.
    explicit HidapiStick(std::vector<std::string> libraryNames = {"hidapi-hidraw", "hidapi-libusb"});
    // Uses the given functions instead of a loaded library (for tests); `name` is the description.
    HidapiStick(const HidapiFunctions& functions, std::string name);
    ~HidapiStick() override;
    HidapiStick(const HidapiStick&) = delete;
    HidapiStick& operator=(const HidapiStick&) = delete;

    bool libraryLoaded() const override;
    std::string description() const override;

    // Closes any open handle, then looks the device up and opens it. Without the device this is one
    // enumeration and nothing more, cheap enough for a poll every second.
    bool findHidDevice(std::uint16_t vendorId, std::uint16_t productId) override;
    // From the device's report descriptor; 64, 64 and 0 when it cannot be had.
    int getInputReportLength() override { return inputLength_; }
    int getOutputReportLength() override { return outputLength_; }
    int getFeatureReportLength() override { return featureLength_; }
    void writeData(std::span<const std::uint8_t> report) override;
    // A report shorter than the input report length is delivered padded with zeros. A read error closes
    // the device: it counts as lost until the next findHidDevice.
    bool readData(std::span<std::uint8_t> buffer) override;
    // hid_read_timeout: returns the moment a report arrives.
    Wait waitForReport(std::span<std::uint8_t> buffer, int timeoutMs) override;
    bool concurrentReads() const override { return true; }
    void closeDevice() override;
    bool setFeature(std::span<const std::uint8_t> report) override;

    // The last failure the loader or hidapi reported, for logs; empty when there was none.
    std::string lastError() const;

private:
    // Initialises hidapi unless another user already did; false when the functions are incomplete.
    bool start(const HidapiFunctions& functions, std::string name);
    void takeReportLengths(const std::string& devicePath);
    // Takes hidapi's error text for the open device; the caller holds deviceMutex_ or is the only user.
    void noteError(const char* what);
    void setError(std::string text);

    bool loaded_ = false;
    HidapiFunctions hid_;
    std::string name_;
    // Changed only by findHidDevice, closeDevice and a failed read, always under deviceMutex_.
    HidDevice* device_ = nullptr;
    std::mutex deviceMutex_;
    std::atomic<bool> lost_ = false; // a write failed: the next read closes the handle
    int inputLength_;
    int outputLength_;
    int featureLength_;
    bool inputReportIds_ = false;
    std::uint8_t outputReportId_ = 0;
    std::uint8_t featureReportId_ = 0;
    std::vector<std::uint8_t> readBuffer_; // report buffers handed to hidapi: one per direction
    std::vector<std::uint8_t> writeBuffer_;
    mutable std::mutex errorMutex_;
    std::string lastError_;
};

} // namespace lumeq
