#include "searchdialog/uXPortSearchJob.h"

#include <algorithm>

namespace {

class TEngineSearchJob final : public TXPortSearchJob {
public:
    void LoadSettings(const std::string& fileName) override { engine_.LoadSettings(fileName); }
    void SetTargets(const std::vector<std::string>& targets) override { engine_.Targets = targets; }

    void Search(const TEvents& events) override {
        engine_.OnProgress = events.Progress;
        engine_.OnDevice = events.Device;
        engine_.OnStatus = events.Status;
        engine_.OnLimit = events.Limit;
        engine_.Search(); // a Cancel given before it started is honoured too
    }

    std::vector<TXportPar> Devices() const override {
        std::vector<TXportPar> devices;
        const int count = engine_.DeviceCount();
        devices.reserve(static_cast<std::size_t>(std::max(count, 0)));
        for (int i = 0; i < count; ++i) {
            devices.push_back(engine_.Device(i));
        }
        return devices;
    }

    void Cancel() override { engine_.Cancel(); }

private:
    TXportSearch engine_;
};

} // namespace

std::unique_ptr<TXPortSearchJob> NewEngineSearchJob() {
    return std::make_unique<TEngineSearchJob>();
}
