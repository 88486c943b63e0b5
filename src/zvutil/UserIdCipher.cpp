#include <zvenv/ZvUtil.h>
#include <zvenv/platform/Text.h>

#include <gcrypt.h>
#include <zlib.h>

#include <mutex>
#include <string>

// User ids become folder names: AES-SIV (deterministic, so one id always gives
// one folder) under a key built into the library, written in lowercase
// base32. The key is not a secret from anyone who has the library; the point
// is that ids are not readable at a glance in the user folder.
//
// The encrypted payload is a format byte followed by the id's UTF-8 text,
// stored as it is or deflated, whichever is shorter. A folder name holds at
// most 255 characters, which leaves room for 143 payload bytes: ids up to 142
// bytes of UTF-8 always fit, longer ones only when they compress.
namespace {

constexpr unsigned char kKey[32] = {0x3a, 0x91, 0x5c, 0x07, 0xe4, 0x28, 0xbf, 0x62, 0x1d, 0xf0, 0x83,
                                    0x4e, 0xa9, 0x36, 0xc5, 0x7b, 0x90, 0x12, 0x6f, 0xd8, 0x4b, 0xe1,
                                    0x25, 0x9a, 0x77, 0x0c, 0xb3, 0x58, 0xee, 0x41, 0x86, 0x2d};
constexpr std::size_t kTagSize = 16;
constexpr std::size_t kMaxNameLength = 255;
constexpr std::size_t kMaxPayload = kMaxNameLength * 5 / 8 - kTagSize;
constexpr unsigned char kPlain = 0x00;
constexpr unsigned char kDeflated = 0x01;
constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz234567";

bool InitialiseLibrary()
{
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] {
        if (!gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P)) {
            if (!gcry_check_version(GCRYPT_VERSION))
                return;
            gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
            gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        }
        ready = true;
    });
    return ready;
}

std::string Base32(const std::string& bytes)
{
    std::string text;
    unsigned buffer = 0;
    int bits = 0;
    for (unsigned char byte : bytes) {
        buffer = (buffer << 8) | byte;
        bits += 8;
        while (bits >= 5) {
            bits -= 5;
            text += kAlphabet[(buffer >> bits) & 31];
        }
    }
    if (bits > 0)
        text += kAlphabet[(buffer << (5 - bits)) & 31];
    return text;
}

// Only the canonical spelling decodes: unused trailing bits must be zero.
bool FromBase32(const std::wstring& text, std::string& bytes)
{
    bytes.clear();
    unsigned buffer = 0;
    int bits = 0;
    for (wchar_t c : text) {
        unsigned value;
        if (c >= L'a' && c <= L'z')
            value = static_cast<unsigned>(c - L'a');
        else if (c >= L'2' && c <= L'7')
            value = static_cast<unsigned>(c - L'2') + 26;
        else
            return false;
        buffer = (buffer << 5) | value;
        bits += 5;
        if (bits >= 8) {
            bits -= 8;
            bytes += static_cast<char>((buffer >> bits) & 0xFF);
        }
    }
    return bits < 5 && (buffer & ((1u << bits) - 1)) == 0;
}

bool Deflate(const std::string& in, std::string& out)
{
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    out.resize(deflateBound(&stream, in.size()));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    stream.avail_in = static_cast<uInt>(in.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const bool done = deflate(&stream, Z_FINISH) == Z_STREAM_END;
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return done;
}

bool Inflate(const std::string& in, std::string& out)
{
    z_stream stream{};
    if (inflateInit2(&stream, -15) != Z_OK)
        return false;
    // A payload of at most 143 bytes cannot expand past this.
    out.assign(64 * 1024, 0);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    stream.avail_in = static_cast<uInt>(in.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const bool done = inflate(&stream, Z_FINISH) == Z_STREAM_END;
    out.resize(stream.total_out);
    inflateEnd(&stream);
    return done;
}

class Cipher {
public:
    Cipher()
    {
        if (InitialiseLibrary() && gcry_cipher_open(&m_handle, GCRY_CIPHER_AES128, GCRY_CIPHER_MODE_SIV, 0) == 0 &&
            gcry_cipher_setkey(m_handle, kKey, sizeof kKey) != 0) {
            gcry_cipher_close(m_handle);
            m_handle = nullptr;
        }
    }
    ~Cipher()
    {
        if (m_handle)
            gcry_cipher_close(m_handle);
    }
    Cipher(const Cipher&) = delete;
    Cipher& operator=(const Cipher&) = delete;

    // Tag first, then the encrypted payload.
    bool Seal(const std::string& payload, std::string& sealed)
    {
        if (!m_handle || gcry_cipher_reset(m_handle) != 0)
            return false;
        sealed.assign(kTagSize + payload.size(), 0);
        if (gcry_cipher_encrypt(m_handle, &sealed[kTagSize], payload.size(), payload.data(), payload.size()) != 0)
            return false;
        return gcry_cipher_gettag(m_handle, &sealed[0], kTagSize) == 0;
    }

    bool Open(const std::string& sealed, std::string& payload)
    {
        if (!m_handle || sealed.size() <= kTagSize || gcry_cipher_reset(m_handle) != 0)
            return false;
        if (gcry_cipher_set_decryption_tag(m_handle, sealed.data(), kTagSize) != 0)
            return false;
        payload.assign(sealed.size() - kTagSize, 0);
        return gcry_cipher_decrypt(m_handle, &payload[0], payload.size(), sealed.data() + kTagSize, payload.size()) ==
               0;
    }

private:
    gcry_cipher_hd_t m_handle = nullptr;
};

} // namespace

BOOL TQ_UT_EncryptSD(LPCWSTR plain, CString& encrypted)
{
    encrypted.Empty();
    if (!plain)
        return FALSE;
    const std::string text = zv::text::EncodeUtf8(plain);
    std::string payload(1, static_cast<char>(kPlain));
    payload += text;
    std::string deflated;
    if (payload.size() > 8 && Deflate(text, deflated) && deflated.size() + 1 < payload.size())
        payload = std::string(1, static_cast<char>(kDeflated)) + deflated;
    if (payload.size() > kMaxPayload)
        return FALSE;

    Cipher cipher;
    std::string sealed;
    if (!cipher.Seal(payload, sealed))
        return FALSE;
    encrypted = CString(zv::text::DecodeUtf8Lenient(Base32(sealed)));
    return TRUE;
}

BOOL TQ_UT_DecryptSD(LPCWSTR encrypted, CString& plain)
{
    plain = encrypted ? encrypted : L"";
    if (!encrypted)
        return FALSE;
    std::string sealed;
    std::string payload;
    if (!FromBase32(encrypted, sealed) || sealed.size() <= kTagSize + 0)
        return FALSE;
    Cipher cipher;
    if (!cipher.Open(sealed, payload) || payload.empty())
        return FALSE;
    std::string text;
    if (payload[0] == static_cast<char>(kPlain))
        text = payload.substr(1);
    else if (payload[0] != static_cast<char>(kDeflated) || !Inflate(payload.substr(1), text))
        return FALSE;
    std::wstring decoded;
    if (!zv::text::DecodeUtf8(text, decoded))
        return FALSE;
    plain = CString(decoded);
    return TRUE;
}
