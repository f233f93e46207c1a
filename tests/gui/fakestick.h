#pragma once
// A stick for window tests: present or absent at the test's word, answering with queued reports.

#include "link/stickaccess.h"

#include <algorithm>
#include <deque>
#include <vector>

class FakeStick : public lumeq::StickAccess {
public:
    struct State {
        bool loaded = true;
        bool present = false;
        int findCalls = 0;
        std::vector<std::vector<std::uint8_t>> written;
        std::deque<std::vector<std::uint8_t>> answers; // delivered one per readData after the first write
    };

    explicit FakeStick(State* state) : s_(state) {}

    bool libraryLoaded() const override { return s_->loaded; }
    std::string description() const override { return "fake"; }
    bool findHidDevice(std::uint16_t, std::uint16_t) override {
        ++s_->findCalls;
        return s_->present;
    }
    int getInputReportLength() override { return 8; }
    int getOutputReportLength() override { return 64; }
    int getFeatureReportLength() override { return 0; }
    void writeData(std::span<const std::uint8_t> report) override {
        s_->written.emplace_back(report.begin(), report.end());
    }
    bool readData(std::span<std::uint8_t> buffer) override {
        if (s_->written.empty() || s_->answers.empty())
            return false;
        const auto& report = s_->answers.front();
        std::copy_n(report.begin(), std::min(report.size(), buffer.size()), buffer.begin());
        s_->answers.pop_front();
        return true;
    }
    void closeDevice() override {}
    bool setFeature(std::span<const std::uint8_t>) override { return false; }

private:
    State* s_;
};
