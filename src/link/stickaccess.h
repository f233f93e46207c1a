#pragma once
// The programming stick as the program sees it: a USB HID device (vendor 0x03EB, product 0x2013) that
// takes output reports and delivers input reports. Two implementations: the real stick through hidapi
// (loaded at run time) and a simulated module/stick kept in a state file (LUMEQ_SIMULATOR).

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace lumeq {

constexpr std::uint16_t kStickVendorId = 0x03EB;
constexpr std::uint16_t kStickProductId = 0x2013;

class StickAccess {
public:
    virtual ~StickAccess() = default;

    // False when the access library could not be loaded: the stick then counts as absent and
    // nobody polls for it.
    virtual bool libraryLoaded() const = 0;
    // A short description for messages and logs ("hidapi-hidraw", "simulator: /tmp/x.ini").
    virtual std::string description() const = 0;

    // True when the stick is attached; afterwards readData and writeData talk to it.
    virtual bool findHidDevice(std::uint16_t vendorId, std::uint16_t productId) = 0;
    virtual int getInputReportLength() = 0;
    virtual int getOutputReportLength() = 0;
    virtual int getFeatureReportLength() = 0;
    // Sends one output report whose first bytes are `report` (shorter reports are padded with zeros,
    // longer ones cut to the output report length).
    virtual void writeData(std::span<const std::uint8_t> report) = 0;
    // True when an input report was waiting; it is copied to the start of `buffer` (at most
    // buffer.size() bytes). False at once when none is waiting.
    virtual bool readData(std::span<std::uint8_t> buffer) = 0;
    virtual void closeDevice() = 0;
    virtual bool setFeature(std::span<const std::uint8_t> report) = 0;

    enum class Wait {
        Report,  // an input report was copied to the buffer
        Nothing, // none came within the time
        Lost,    // the stick is gone (unplugged, or reading failed); it stays gone until findHidDevice
    };
    // Waits up to `timeoutMs` for an input report and copies it as readData does; 0 takes only one that is
    // already waiting. A report is taken the moment it arrives. The default polls readData every
    // millisecond and never reports the stick lost.
    virtual Wait waitForReport(std::span<std::uint8_t> buffer, int timeoutMs);
    // True when waitForReport and readData may run on a reader thread while another thread calls writeData.
    // findHidDevice and closeDevice must never run while a reader thread waits.
    virtual bool concurrentReads() const { return false; }
    // The simulated stick of a state file (LUMEQ_SIMULATOR), not a real device.
    virtual bool simulated() const { return false; }
};

// The stick the program uses: the simulator when LUMEQ_SIMULATOR names a state file, otherwise hidapi.
std::unique_ptr<StickAccess> createStickAccess();

} // namespace lumeq
