#pragma once
// The hidapi functions the program uses, as pointers: HidapiStick resolves them from the library it
// loads at run time, and tests hand in their own to play the device.

#include <cstddef>

namespace lumeq {

struct HidDevice; // hidapi's opaque hid_device

// The leading members of hidapi's struct hid_device_info, the same in every hidapi release. The library
// allocates the list; only `path` and `next` are read.
struct HidDeviceInfo {
    char* path;
    unsigned short vendorId;
    unsigned short productId;
    wchar_t* serialNumber;
    unsigned short releaseNumber;
    wchar_t* manufacturerString;
    wchar_t* productString;
    unsigned short usagePage;
    unsigned short usage;
    int interfaceNumber;
    HidDeviceInfo* next;
};

struct HidapiFunctions {
    // Required: without any of these the library counts as not loaded.
    int (*init)() = nullptr;
    int (*exit)() = nullptr;
    HidDevice* (*open)(unsigned short vendorId, unsigned short productId, const wchar_t* serial) = nullptr;
    void (*close)(HidDevice*) = nullptr;
    int (*write)(HidDevice*, const unsigned char* data, std::size_t length) = nullptr;
    int (*readTimeout)(HidDevice*, unsigned char* data, std::size_t length, int milliseconds) = nullptr;
    const wchar_t* (*error)(HidDevice*) = nullptr;
    HidDeviceInfo* (*enumerate)(unsigned short vendorId, unsigned short productId) = nullptr;
    void (*freeEnumeration)(HidDeviceInfo*) = nullptr;

    // Optional.
    HidDevice* (*openPath)(const char* path) = nullptr;
    int (*getReportDescriptor)(HidDevice*, unsigned char* buffer, std::size_t size) = nullptr; // hidapi 0.14+
    int (*sendFeatureReport)(HidDevice*, const unsigned char* data, std::size_t length) = nullptr;

    // The name of the first required function that is missing; nullptr when all are there.
    const char* firstMissing() const {
        if (init == nullptr)
            return "hid_init";
        if (exit == nullptr)
            return "hid_exit";
        if (open == nullptr)
            return "hid_open";
        if (close == nullptr)
            return "hid_close";
        if (write == nullptr)
            return "hid_write";
        if (readTimeout == nullptr)
            return "hid_read_timeout";
        if (error == nullptr)
            return "hid_error";
        if (enumerate == nullptr)
            return "hid_enumerate";
        if (freeEnumeration == nullptr)
            return "hid_free_enumeration";
        return nullptr;
    }
};

} // namespace lumeq
