// Windows: the WASAPI output is being written on its own branch. Until it is merged, this one
// plays nothing and says so, and the rehearsal runs on its own clock.

#include "sound/Sound.h"

namespace salvo::sound {

namespace {

class NoOutput : public Output {
public:
    bool Play(std::shared_ptr<const Samples>, double fromSeconds, std::string& why) override {
        At = fromSeconds;
        why = "la sortie son de Windows n'est pas encore prise en charge par cette version";
        return false;
    }
    void Pause() override {}
    bool Playing() const override { return false; }
    double Position(Instant) const override { return At; }

private:
    double At = 0;
};

} // namespace

std::unique_ptr<Output> MakeOutput() {
    return std::make_unique<NoOutput>();
}

} // namespace salvo::sound
