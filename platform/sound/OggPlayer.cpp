#include "platform/sound/OggPlayer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/sound/Mixer.h"
#include "platform/sound/VorbisLibrary.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Report.h"

namespace {

// The file in memory, read through the decoder's callbacks. There is no seek callback: the
// decoder then reads the stream front to back only, and a new play or a loop opens it again at
// its first byte. Its seeking code (bisection over the pages of the whole file) is where hostile
// files reach memory errors and leaks inside the library, and music never needs it.
struct MemFile {
    std::vector<u8> bytes;
    std::size_t pos = 0;
};

size_t MemRead(void* ptr, size_t size, size_t nmemb, void* source) {
    auto* f = static_cast<MemFile*>(source);
    if (size == 0 || f->pos >= f->bytes.size()) return 0;
    const std::size_t n = std::min(nmemb, (f->bytes.size() - f->pos) / size);
    if (n == 0) return 0;
    std::memcpy(ptr, f->bytes.data() + f->pos, n * size);
    f->pos += n * size;
    return n;
}

class cOggPlayer final : public cVoxPlayer, public cMixerSource {
public:
    cOggPlayer() { MixerAddSource(this); }

    u8 Load(const char* path) override {
        // The file is read before the lock is taken: every render of the mixer waits on that
        // lock, with all other sound, and a slow disk must not silence them.
        MemFile mem;
        const std::string name = path ? path : "";
        const FileRead read = ReadWholeFile(name, mem.bytes, kMaxFileBytes);
        std::lock_guard lock(m_mutex);
        CloseLocked();
        m_fGain = 1.0f;
        // Without the decoder (its one line is in the report) every Ogg song stays silent.
        if (!VorbisApi()) return 0;
        if (read != FileRead::Ok) {
            WriteReport("Ogg %s は読めないファイルです", name.c_str());
            return 0;
        }
        m_file = std::move(mem);
        m_strName = name;
        if (!OpenLocked()) {
            WriteReport("Ogg %s は読めないファイルです", name.c_str());
            m_file = MemFile{};
            return 0;
        }
        return 1;
    }

    void Play() override {
        std::lock_guard lock(m_mutex);
        if (m_file.bytes.empty()) return;
        // A stream opened by Load and not read since is at its start already: its headers, a
        // large part of a start's cost, are read once.
        if (!m_bUnread && !OpenLocked()) return;
        m_rs.Reset(kMixRate, 2);
        m_nLoopsLeft = m_nLoop;
        m_bPlaying = true;
    }

    void Stop() override {
        std::lock_guard lock(m_mutex);
        m_bPlaying = false;
    }

    void Unload() override {
        std::lock_guard lock(m_mutex);
        CloseLocked();
    }

    void SetLoop(u32 count) override {
        std::lock_guard lock(m_mutex);
        m_nLoop = count;
        m_nLoopsLeft = count;
    }

    void SetVolume(float gain) override {
        std::lock_guard lock(m_mutex);
        m_fGain = std::clamp(gain, 0.0f, 1.0f);
    }

    void Release() override {
        MixerRemoveSource(this);
        Unload();
        delete this;
    }

    bool IsPlaying() override {
        std::lock_guard lock(m_mutex);
        return m_bPlaying;
    }

    void Mix(float* out, int frames) override {
        std::lock_guard lock(m_mutex);
        if (!m_bPlaying) return;
        m_vTmp.resize(static_cast<std::size_t>(frames) * 2);
        int made = 0;
        bool producedSinceRewind = true;
        while (made < frames && m_bPlaying) {
            made += m_rs.Pull(m_vTmp.data() + 2 * made, frames - made);
            if (made >= frames) break;
            float** pcm = nullptr;
            int link = 0;
            m_bUnread = false;
            const long got = VorbisApi()->readFloat(&m_vf, &pcm, 4096, &link);
            if (got > 0 && link != m_nLink && !NewLink(link)) {
                StopDamaged();
                break;
            }
            if (got > 0) {
                m_rs.PushPlanar(pcm, static_cast<int>(got));
                producedSinceRewind = true;
            } else if (got == OV_HOLE) {
                continue; // a gap in the stream; decoding goes on after it
            } else if (got == 0 && m_nLoopsLeft > 0 && producedSinceRewind && OpenLocked()) {
                if (m_nLoopsLeft != VOX_LOOP_ENDLESS) --m_nLoopsLeft;
                producedSinceRewind = false; // an empty stream must not spin here
            } else {
                // Damaged past its headers: the music stops here, once reported.
                if (got < 0) StopDamaged();
                made += m_rs.Pull(m_vTmp.data() + 2 * made, frames - made, true);
                m_bPlaying = false;
            }
        }
        for (int i = 0; i < made * 2; ++i) out[i] += m_vTmp[i] * m_fGain;
    }

private:
    ~cOggPlayer() override = default;

    void StopDamaged() {
        if (!m_bReported) {
            m_bReported = true;
            WriteReport("Ogg %s は読めないファイルです", m_strName.c_str());
        }
        m_bPlaying = false;
    }

    // A stream claiming hundreds of megahertz has the decoder run through the whole file for a few
    // milliseconds of sound, with every other sound waiting on the mixer: such a stream is
    // refused (real music stays far below the bound).
    static bool RateSupported(const vorbis_info* info) { return info && info->rate > 0 && info->rate <= kMaxRate; }

    // False: the new link's rate is refused.
    bool NewLink(int link) {
        m_nLink = link;
        const vorbis_info* info = VorbisApi()->info(&m_vf, link);
        if (!info) return true;
        if (!RateSupported(info)) return false;
        const int rate = static_cast<int>(info->rate);
        const int channels = std::min(info->channels, 2);
        if (rate != m_rs.SrcRate() || channels != m_rs.SrcChannels() || m_rs.Buffered() == 0) {
            float rest[2 * 256];
            while (m_rs.Buffered() > 0 && m_rs.Pull(rest, 256, true) > 0) {
            }
            m_rs.Reset(rate, channels);
        }
        return true;
    }

    // (Re)opens the stream at its first byte; the decoder reads the headers only.
    bool OpenLocked() {
        if (m_bOpen) VorbisApi()->clear(&m_vf);
        m_bOpen = false;
        m_bUnread = false;
        m_file.pos = 0;
        m_nLink = -1;
        const ov_callbacks callbacks{MemRead, nullptr, nullptr, nullptr};
        if (VorbisApi()->openCallbacks(&m_file, &m_vf, nullptr, 0, callbacks) != 0) return false;
        m_bOpen = true;
        if (!RateSupported(VorbisApi()->info(&m_vf, -1))) {
            VorbisApi()->clear(&m_vf);
            m_bOpen = false;
            return false;
        }
        m_bUnread = true;
        return true;
    }

    void CloseLocked() {
        if (m_bOpen) VorbisApi()->clear(&m_vf);
        m_bOpen = false;
        m_bUnread = false;
        m_bPlaying = false;
        m_bReported = false;
        m_file = MemFile{};
        m_strName.clear();
        m_rs.Reset(kMixRate, 2);
    }

    // Music files larger than this are refused rather than held in memory.
    static constexpr std::size_t kMaxFileBytes = std::size_t(256) << 20;
    static constexpr long kMaxRate = 768000;

    std::mutex m_mutex;
    MemFile m_file;
    OggVorbis_File m_vf{};
    std::string m_strName;
    bool m_bOpen = false;
    bool m_bUnread = false; // open at the first byte after the headers, nothing decoded yet
    bool m_bPlaying = false;
    bool m_bReported = false;
    int m_nLink = -1;
    u32 m_nLoop = 0;
    u32 m_nLoopsLeft = 0;
    float m_fGain = 1.0f;
    cResampler m_rs;
    std::vector<float> m_vTmp;
};

} // namespace

cVoxPlayer* CreateVox() { return new (std::nothrow) cOggPlayer(); }
