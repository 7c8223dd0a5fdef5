#include "sound/threaded_tone_starter.h"

#include <pthread.h>

#include <cstddef>
#include <memory>

#include "sound/tone_effects.h"

namespace zorblet::sound {

namespace {

// An effect needs little stack: a few calls into the tone generator, about 20 KiB at
// most with AddressSanitizer. (ThreadSanitizer's runtime adds room for its own
// per-thread state by itself.)
constexpr std::size_t ToneThreadStackBytes = 64 * 1024;

struct ToneJob {
    const std::atomic<std::int32_t>& SoundOn;
    platform::ToneGenerator& Tones;
    ToneEffect Effect;
    std::int32_t Argument;
};

void* RunToneJob(void* data) {
    const std::unique_ptr<ToneJob> job(static_cast<ToneJob*>(data));
    if (job->SoundOn.load() == 0) return nullptr;
    PlayToneEffect(job->Tones, job->Effect, job->Argument);
    return nullptr;
}

}  // namespace

void ThreadedToneStarter::StartTone(ToneEffect effect, std::int32_t argument) {
    auto job = std::make_unique<ToneJob>(ToneJob{soundOn_, tones_, effect, argument});
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return;
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_attr_setstacksize(&attributes, ToneThreadStackBytes);
    pthread_t thread;
    if (pthread_create(&thread, &attributes, RunToneJob, job.get()) == 0) job.release();
    pthread_attr_destroy(&attributes);
}

}  // namespace zorblet::sound
