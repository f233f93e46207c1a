#include "link/hidapistick.h"

#include "link/hiddescriptor.h"

#include <QFile>
#include <QLibrary>
#include <QString>

#include <algorithm>
#include <cstddef>
#include <map>
#include <mutex>

namespace lumeq {

namespace {

// Largest report descriptor hidapi hands over (HID_API_MAX_REPORT_DESCRIPTOR_SIZE).
constexpr std::size_t kMaxDescriptorSize = 4096;

// hid_init and hid_exit act on the whole process: count the users of each library so that the last one
// to go calls hid_exit and no one pulls the library state away from another.
std::mutex& initMutex() {
    static std::mutex mutex;
    return mutex;
}
std::map<int (*)(), int>& initUsers() {
    static std::map<int (*)(), int> users;
    return users;
}

template <typename Fn> void resolve(QLibrary& library, Fn& target, const char* symbol) {
    target = reinterpret_cast<Fn>(library.resolve(symbol));
}

HidapiFunctions resolveAll(QLibrary& library) {
    HidapiFunctions hid;
    resolve(library, hid.init, "hid_init");
    resolve(library, hid.exit, "hid_exit");
    resolve(library, hid.open, "hid_open");
    resolve(library, hid.close, "hid_close");
    resolve(library, hid.write, "hid_write");
    resolve(library, hid.readTimeout, "hid_read_timeout");
    resolve(library, hid.error, "hid_error");
    resolve(library, hid.enumerate, "hid_enumerate");
    resolve(library, hid.freeEnumeration, "hid_free_enumeration");
    resolve(library, hid.openPath, "hid_open_path");
    resolve(library, hid.getReportDescriptor, "hid_get_report_descriptor");
    resolve(library, hid.sendFeatureReport, "hid_send_feature_report");
    return hid;
}

} // namespace

HidapiStick::HidapiStick(std::vector<std::string> libraryNames)
    : inputLength_(kFallbackInputReportLength), outputLength_(kFallbackOutputReportLength),
      featureLength_(kFallbackFeatureReportLength) {
    for (const std::string& name : libraryNames) {
        // A loaded library stays loaded for the life of the process; the QLibrary object need not.
        QLibrary library(QString::fromStdString(name), 0);
        if (!library.load()) {
            setError(library.errorString().toStdString());
            continue;
        }
        if (start(resolveAll(library), name))
            return;
        library.unload();
    }
}

HidapiStick::HidapiStick(const HidapiFunctions& functions, std::string name)
    : inputLength_(kFallbackInputReportLength), outputLength_(kFallbackOutputReportLength),
      featureLength_(kFallbackFeatureReportLength) {
    start(functions, std::move(name));
}

bool HidapiStick::start(const HidapiFunctions& functions, std::string name) {
    if (const char* missing = functions.firstMissing()) {
        setError(name + " lacks " + missing);
        return false;
    }
    std::lock_guard lock(initMutex());
    int& users = initUsers()[functions.init];
    if (users == 0 && functions.init() != 0) {
        setError(name + ": hid_init failed");
        return false;
    }
    ++users;
    hid_ = functions;
    name_ = std::move(name);
    loaded_ = true;
    setError({});
    return true;
}

HidapiStick::~HidapiStick() {
    closeDevice();
    if (!loaded_)
        return;
    std::lock_guard lock(initMutex());
    if (--initUsers()[hid_.init] == 0)
        hid_.exit();
}

bool HidapiStick::libraryLoaded() const {
    return loaded_;
}

std::string HidapiStick::description() const {
    if (!loaded_) {
        const std::string error = lastError();
        return "hidapi not loaded" + (error.empty() ? std::string() : ": " + error);
    }
    return name_;
}

std::string HidapiStick::lastError() const {
    std::lock_guard lock(errorMutex_);
    return lastError_;
}

void HidapiStick::setError(std::string text) {
    std::lock_guard lock(errorMutex_);
    lastError_ = std::move(text);
}

void HidapiStick::noteError(const char* what) {
    const wchar_t* text = hid_.error(device_);
    std::string error = what;
    if (text != nullptr)
        error += ": " + QString::fromWCharArray(text).toStdString();
    setError(std::move(error));
}

bool HidapiStick::findHidDevice(std::uint16_t vendorId, std::uint16_t productId) {
    closeDevice();
    if (!loaded_)
        return false;
    HidDeviceInfo* list = hid_.enumerate(vendorId, productId);
    if (list == nullptr)
        return false;
    const std::string path = list->path != nullptr ? list->path : "";
    hid_.freeEnumeration(list);

    HidDevice* device = nullptr;
    if (hid_.openPath != nullptr && !path.empty())
        device = hid_.openPath(path.c_str());
    else
        device = hid_.open(vendorId, productId, nullptr);
    if (device == nullptr) {
        noteError("cannot open the stick");
        return false;
    }
    {
        std::lock_guard lock(deviceMutex_);
        device_ = device;
        lost_ = false;
    }
    takeReportLengths(path);
    return true;
}

void HidapiStick::takeReportLengths(const std::string& devicePath) {
    std::vector<std::uint8_t> descriptor;
    if (hid_.getReportDescriptor != nullptr) {
        descriptor.resize(kMaxDescriptorSize);
        const int size = hid_.getReportDescriptor(device_, descriptor.data(), descriptor.size());
        descriptor.resize(size > 0 ? std::min<std::size_t>(static_cast<std::size_t>(size), kMaxDescriptorSize) : 0);
    }
    if (descriptor.empty()) {
        const std::string sysfsPath = hidrawDescriptorPath(devicePath);
        QFile file(QString::fromStdString(sysfsPath));
        if (!sysfsPath.empty() && file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.read(kMaxDescriptorSize);
            descriptor.assign(bytes.begin(), bytes.end());
        }
    }
    const HidReportLengths lengths =
        withFallbacks(descriptor.empty() ? HidReportLengths{} : parseReportDescriptor(descriptor));
    inputLength_ = lengths.input;
    outputLength_ = lengths.output;
    featureLength_ = lengths.feature;
    inputReportIds_ = lengths.reportIds;
    outputReportId_ = lengths.outputReportId;
    featureReportId_ = lengths.featureReportId;
}

void HidapiStick::writeData(std::span<const std::uint8_t> report) {
    std::lock_guard lock(deviceMutex_);
    if (device_ == nullptr || lost_)
        return;
    // hidapi takes the report ID first (0 for a device without report IDs), then the report.
    writeBuffer_.assign(static_cast<std::size_t>(outputLength_) + 1, 0);
    writeBuffer_[0] = outputReportId_;
    const std::size_t count = std::min(report.size(), static_cast<std::size_t>(outputLength_));
    std::copy_n(report.begin(), count, writeBuffer_.begin() + 1);
    if (hid_.write(device_, writeBuffer_.data(), writeBuffer_.size()) < 0) {
        noteError("write to the stick failed");
        // A reader thread may be waiting on the handle: the next read closes it.
        lost_ = true;
    }
}

bool HidapiStick::readData(std::span<std::uint8_t> buffer) {
    return waitForReport(buffer, 0) == Wait::Report;
}

StickAccess::Wait HidapiStick::waitForReport(std::span<std::uint8_t> buffer, int timeoutMs) {
    // Only the reading thread, findHidDevice and closeDevice change the handle, and the last two never run
    // while a reader waits: reading it here needs no lock.
    HidDevice* device = device_;
    if (device == nullptr)
        return Wait::Nothing;
    if (lost_) {
        closeDevice();
        return Wait::Lost;
    }
    const std::size_t idBytes = inputReportIds_ ? 1 : 0;
    readBuffer_.assign(static_cast<std::size_t>(inputLength_) + idBytes, 0);
    const int received = hid_.readTimeout(device, readBuffer_.data(), readBuffer_.size(), std::max(timeoutMs, 0));
    if (received < 0) {
        {
            std::lock_guard lock(deviceMutex_);
            noteError("read from the stick failed");
        }
        closeDevice();
        return Wait::Lost;
    }
    if (received == 0)
        return Wait::Nothing;
    const std::size_t count = std::min(buffer.size(), static_cast<std::size_t>(inputLength_));
    std::copy_n(readBuffer_.begin() + static_cast<std::ptrdiff_t>(idBytes), count, buffer.begin());
    return Wait::Report;
}

void HidapiStick::closeDevice() {
    std::lock_guard lock(deviceMutex_);
    if (device_ == nullptr)
        return;
    hid_.close(device_);
    device_ = nullptr;
}

bool HidapiStick::setFeature(std::span<const std::uint8_t> report) {
    std::lock_guard lock(deviceMutex_);
    if (device_ == nullptr || lost_ || hid_.sendFeatureReport == nullptr || featureLength_ <= 0)
        return false;
    writeBuffer_.assign(static_cast<std::size_t>(featureLength_) + 1, 0);
    writeBuffer_[0] = featureReportId_;
    const std::size_t count = std::min(report.size(), static_cast<std::size_t>(featureLength_));
    std::copy_n(report.begin(), count, writeBuffer_.begin() + 1);
    if (hid_.sendFeatureReport(device_, writeBuffer_.data(), writeBuffer_.size()) < 0) {
        noteError("feature report to the stick failed");
        return false;
    }
    return true;
}

} // namespace lumeq
