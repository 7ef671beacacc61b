#include "PdfFinisher.h"

#include "ToUnicodeRepair.h"
#include "platform/IoError.h"

#include <qpdf/BufferInputSource.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/Pl_String.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFCryptoImpl.hh>
#include <qpdf/QPDFCryptoProvider.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFTokenizer.hh>
#include <qpdf/QPDFXRefEntry.hh>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <set>
#include <stdexcept>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace zintrel {

namespace {

constexpr std::size_t kAesBlock = QPDFCryptoImpl::rijndael_buf_size;
constexpr std::size_t kKeyBytes = 32;
constexpr std::size_t kIdBytes = 16;
constexpr std::size_t kTailBytes = 1024; // where "startxref" is looked for
constexpr std::size_t kOutputBuffer = 1 << 16;
// AES-256 needs PDF 1.7 with Adobe's extension level 8 (or PDF 2.0).
constexpr const char* kHeader = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n";
constexpr const char* kExtensions = " /Extensions << /ADBE << /BaseVersion /1.7 /ExtensionLevel 8 >> >>";

[[noreturn]] void unreadable(const std::string& what)
{
    throw std::runtime_error("The drawn PDF document could not be read back (" + what + ").");
}

std::string hex(std::string_view bytes)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2 + 2);
    out += '<';
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 0xF];
    }
    out += '>';
    return out;
}

// The drawing, read by offset.
class DrawingFile {
public:
    explicit DrawingFile(const std::string& path)
        : m_path(path)
        , m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC))
    {
        if (m_fd < 0)
            throw IoError(errno, path);
        off_t size = ::lseek(m_fd, 0, SEEK_END);
        if (size < 0)
            throw IoError(errno, path);
        m_size = static_cast<std::size_t>(size);
    }
    ~DrawingFile() { ::close(m_fd); }
    DrawingFile(const DrawingFile&) = delete;
    DrawingFile& operator=(const DrawingFile&) = delete;

    std::size_t size() const { return m_size; }

    std::string read(std::size_t offset, std::size_t length) const
    {
        std::string text(length, '\0');
        std::size_t done = 0;
        while (done < length) {
            ssize_t got = ::pread(m_fd, text.data() + done, length - done, static_cast<off_t>(offset + done));
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                throw IoError(errno, m_path);
            }
            if (got == 0)
                unreadable("it ends early");
            done += static_cast<std::size_t>(got);
        }
        return text;
    }

private:
    std::string m_path;
    int m_fd;
    std::size_t m_size = 0;
};

// The target, written in large pieces, knowing its offset for the cross-reference table.
class TargetFile {
public:
    explicit TargetFile(const std::string& path)
        : m_path(path)
        , m_fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666))
    {
        if (m_fd < 0)
            throw IoError(errno, path);
        m_buffer.reserve(kOutputBuffer);
    }
    ~TargetFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    TargetFile(const TargetFile&) = delete;
    TargetFile& operator=(const TargetFile&) = delete;

    std::size_t offset() const { return m_offset; }

    TargetFile& operator<<(std::string_view text)
    {
        m_offset += text.size();
        if (m_buffer.size() + text.size() > kOutputBuffer)
            flush();
        if (text.size() >= kOutputBuffer)
            writeAll(text.data(), text.size());
        else
            m_buffer.append(text);
        return *this;
    }

    void close()
    {
        flush();
        int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0)
            throw IoError(errno, m_path);
    }

private:
    void flush()
    {
        writeAll(m_buffer.data(), m_buffer.size());
        m_buffer.clear();
    }
    void writeAll(const char* data, std::size_t length)
    {
        while (length > 0) {
            ssize_t written = ::write(m_fd, data, length);
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                throw IoError(errno, m_path);
            }
            data += written;
            length -= static_cast<std::size_t>(written);
        }
    }

    std::string m_path;
    int m_fd;
    std::string m_buffer;
    std::size_t m_offset = 0;
};

// AES-256 in CBC mode as PDF uses it: a random IV in front, PKCS#5 padding.
class Aes256 {
public:
    Aes256()
        : m_crypto(QPDFCryptoProvider::getImpl())
    {
    }
    void setKey(std::string key) { m_key = std::move(key); }
    std::string random(std::size_t bytes)
    {
        std::string data(bytes, '\0');
        m_crypto->provideRandomData(reinterpret_cast<unsigned char*>(data.data()), bytes);
        return data;
    }
    std::string encrypt(std::string_view plain)
    {
        std::string out = random(kAesBlock);
        unsigned char chain[kAesBlock];
        std::memcpy(chain, out.data(), kAesBlock);
        std::size_t padded = (plain.size() / kAesBlock + 1) * kAesBlock;
        const auto pad = static_cast<unsigned char>(padded - plain.size());
        out.resize(kAesBlock + padded);
        m_crypto->rijndael_init(true, reinterpret_cast<const unsigned char*>(m_key.data()), m_key.size(), true, chain);
        unsigned char block[kAesBlock];
        for (std::size_t at = 0; at < padded; at += kAesBlock) {
            for (std::size_t i = 0; i < kAesBlock; ++i)
                block[i] = at + i < plain.size() ? static_cast<unsigned char>(plain[at + i]) : pad;
            m_crypto->rijndael_process(block, reinterpret_cast<unsigned char*>(out.data() + kAesBlock + at));
        }
        m_crypto->rijndael_finalize();
        return out;
    }

private:
    std::shared_ptr<QPDFCryptoImpl> m_crypto;
    std::string m_key;
};

struct Token {
    QPDFTokenizer::token_type_e type;
    std::string raw;
    std::string value;
    bool ignorable() const { return type == QPDFTokenizer::tt_space || type == QPDFTokenizer::tt_comment; }
    bool isWord(const char* word) const { return type == QPDFTokenizer::tt_word && raw == word; }
};

// The tokens of an object up to and including "stream" or "endobj"; dataStart is where
// the stream keyword ends (0 when there is none).
struct ObjectTokens {
    std::vector<Token> tokens;
    std::size_t dataStart = 0;
};

ObjectTokens tokenize(const std::string& text, bool wholeText = false)
{
    ObjectTokens result;
    auto input = std::make_shared<BufferInputSource>("drawn object", text);
    QPDFTokenizer tokenizer;
    tokenizer.allowEOF();
    tokenizer.includeIgnorable();
    for (;;) {
        QPDFTokenizer::Token t = tokenizer.readToken(input, "drawn object", true);
        if (t.getType() == QPDFTokenizer::tt_eof)
            break;
        if (t.getType() == QPDFTokenizer::tt_bad)
            unreadable("bad token " + t.getRawValue());
        result.tokens.push_back(Token{t.getType(), t.getRawValue(), t.getValue()});
        const Token& last = result.tokens.back();
        if (!wholeText && last.isWord("stream")) {
            result.dataStart = static_cast<std::size_t>(input->tell());
            break;
        }
        if (!wholeText && last.isWord("endobj"))
            break;
    }
    return result;
}

// Index of the next token that is not space or comment, from i on; tokens.size() if none.
std::size_t nextSolid(const std::vector<Token>& tokens, std::size_t i)
{
    while (i < tokens.size() && tokens[i].ignorable())
        ++i;
    return i;
}

// "a b R" starting at the solid token i: the object number and generation.
bool referenceAt(const std::vector<Token>& tokens, std::size_t i, QPDFObjGen& target, std::size_t& end)
{
    std::size_t second = nextSolid(tokens, i + 1);
    std::size_t r = nextSolid(tokens, second + 1);
    if (i < tokens.size() && r < tokens.size() && tokens[i].type == QPDFTokenizer::tt_integer
        && tokens[second].type == QPDFTokenizer::tt_integer && tokens[r].isWord("R")) {
        target = QPDFObjGen(std::stoi(tokens[i].raw), std::stoi(tokens[second].raw));
        end = r + 1;
        return true;
    }
    return false;
}

// For every key of the object's own dictionary: the index of its name token.
std::vector<std::size_t> topLevelKeys(const std::vector<Token>& tokens)
{
    std::vector<std::size_t> keys;
    std::vector<bool> containers; // true: a dictionary
    bool expectKey = false;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (t.ignorable())
            continue;
        switch (t.type) {
        case QPDFTokenizer::tt_dict_open:
        case QPDFTokenizer::tt_array_open:
            containers.push_back(t.type == QPDFTokenizer::tt_dict_open);
            expectKey = containers.size() == 1 && containers[0];
            continue;
        case QPDFTokenizer::tt_dict_close:
        case QPDFTokenizer::tt_array_close:
            if (!containers.empty())
                containers.pop_back();
            // A dictionary or array that was a value has ended: a key comes next.
            expectKey = containers.size() == 1 && containers[0];
            continue;
        default:
            break;
        }
        if (containers.size() != 1 || !containers[0])
            continue;
        if (expectKey && t.type == QPDFTokenizer::tt_name) {
            keys.push_back(i);
            expectKey = false;
        } else if (!expectKey) {
            // A simple value, or a reference "a b R" as one.
            std::size_t end = 0;
            QPDFObjGen ignored;
            if (referenceAt(tokens, i, ignored, end))
                i = end - 1;
            expectKey = true;
        }
    }
    return keys;
}

struct ObjectPlace {
    QPDFObjGen id;
    std::size_t offset;
    std::size_t end;
};

class Finisher {
public:
    Finisher(const std::string& drawingPath, const std::string& targetPath, const PdfFinish& finish)
        : m_drawingPath(drawingPath)
        , m_drawing(drawingPath)
        , m_target(targetPath)
        , m_finish(finish)
    {
    }

    void run()
    {
        readStructure();
        collectReferences();
        if (m_finish.encrypt)
            prepareEncryption();

        m_target << kHeader;
        for (const ObjectPlace& place : m_places) {
            if (m_skipped.count(place.id))
                continue;
            m_newOffsets[place.id.getObj()] = {m_target.offset(), place.id.getGen()};
            if (place.id == m_infoId)
                writeInformation(place.id);
            else
                copyObject(place);
        }
        if (!m_infoId.isIndirect()) {
            m_infoId = QPDFObjGen(m_nextNumber++, 0);
            m_newOffsets[m_infoId.getObj()] = {m_target.offset(), 0};
            writeInformation(m_infoId);
        }
        if (m_finish.encrypt) {
            m_encryptId = QPDFObjGen(m_nextNumber++, 0);
            m_newOffsets[m_encryptId.getObj()] = {m_target.offset(), 0};
            m_target << std::to_string(m_encryptId.getObj()) << " 0 obj\n" << m_encryptDictionary << "\nendobj\n";
        }
        writeCrossReference();
        m_target.close();
    }

private:
    // Where each object lies, from the cross-reference table; which are the catalog and
    // the information.
    void readStructure()
    {
        QPDF source;
        source.processFile(m_drawingPath.c_str());
        if (source.isEncrypted())
            unreadable("it is encrypted");
        QPDFObjectHandle trailer = source.getTrailer();
        m_rootId = trailer.getKey("/Root").getObjGen();
        if (!m_rootId.isIndirect())
            unreadable("no catalog");
        QPDFObjectHandle info = trailer.getKey("/Info");
        if (info.isIndirect() && info.isDictionary()) {
            m_infoId = info.getObjGen();
            for (const std::string& key : info.getKeys()) {
                QPDFObjectHandle value = info.getKey(key);
                if (value.isString())
                    m_information[key] = value.getUTF8Value();
            }
        }
        for (const auto& [key, value] : m_finish.information)
            m_information[key] = value;

        for (const auto& [id, entry] : source.getXRefTable()) {
            if (entry.getType() == 2)
                unreadable("compressed objects");
            if (entry.getType() == 1)
                m_places.push_back(ObjectPlace{id, static_cast<std::size_t>(entry.getOffset()), 0});
            m_nextNumber = std::max(m_nextNumber, id.getObj() + 1);
        }
        std::sort(m_places.begin(), m_places.end(),
                  [](const ObjectPlace& a, const ObjectPlace& b) { return a.offset < b.offset; });
        std::size_t xref = crossReferenceOffset();
        for (std::size_t i = 0; i < m_places.size(); ++i)
            m_places[i].end = i + 1 < m_places.size() ? m_places[i + 1].offset : xref;
        for (const ObjectPlace& place : m_places) {
            if (place.end <= place.offset || place.end > m_drawing.size())
                unreadable("objects out of order");
            m_placeOf[place.id] = &place - m_places.data();
        }
    }

    std::size_t crossReferenceOffset() const
    {
        std::size_t from = m_drawing.size() > kTailBytes ? m_drawing.size() - kTailBytes : 0;
        std::string tail = m_drawing.read(from, m_drawing.size() - from);
        std::size_t at = tail.rfind("startxref");
        if (at == std::string::npos)
            unreadable("no startxref");
        return static_cast<std::size_t>(std::stoull(tail.substr(at + 9)));
    }

    std::string objectText(const ObjectPlace& place) const
    {
        return m_drawing.read(place.offset, place.end - place.offset);
    }

    // The fonts' ToUnicode maps and the XMP metadata, which would contradict the new
    // information, are found before anything is written.
    void collectReferences()
    {
        for (const ObjectPlace& place : m_places) {
            std::vector<Token> tokens = tokenize(objectText(place)).tokens;
            for (std::size_t key : topLevelKeys(tokens)) {
                const std::string& name = tokens[key].value;
                QPDFObjGen target;
                std::size_t end = 0;
                if (!referenceAt(tokens, nextSolid(tokens, key + 1), target, end))
                    continue;
                if (name == "/ToUnicode")
                    m_toUnicode.insert(target);
                else if (name == "/Metadata" && place.id == m_rootId)
                    m_skipped.insert(target);
            }
        }
    }

    void prepareEncryption()
    {
        m_id = m_aes.random(kIdBytes);
        std::string key, o, u, oe, ue, perms;
        QPDF::compute_encryption_parameters_V5(m_finish.userPassword.c_str(), m_finish.ownerPassword.c_str(), 5, 6,
                                               static_cast<int>(kKeyBytes), static_cast<int>(m_finish.permissions),
                                               true, m_id, key, o, u, oe, ue, perms);
        m_aes.setKey(key);
        m_encryptDictionary = "<< /Filter /Standard /V 5 /R 6 /Length 256 /P "
                              + std::to_string(static_cast<std::int32_t>(m_finish.permissions)) + " /O " + hex(o)
                              + " /U " + hex(u) + " /OE " + hex(oe) + " /UE " + hex(ue) + " /Perms " + hex(perms)
                              + " /EncryptMetadata true /CF << /StdCF << /AuthEvent /DocOpen /CFM /AESV3 /Length 32 >> >>"
                                " /StmF /StdCF /StrF /StdCF >>";
    }

    std::string stringToken(const Token& t)
    {
        return m_finish.encrypt ? hex(m_aes.encrypt(t.value)) : t.raw;
    }

    // The value of a small object holding one integer (a stream's length).
    std::size_t integerObject(const QPDFObjGen& id) const
    {
        auto found = m_placeOf.find(id);
        if (found == m_placeOf.end())
            unreadable("missing length");
        std::vector<Token> tokens = tokenize(objectText(m_places[found->second])).tokens;
        std::size_t i = nextSolid(tokens, 0);
        for (int skip = 0; skip < 3; ++skip) // "a b obj"
            i = nextSolid(tokens, i + 1);
        if (i >= tokens.size() || tokens[i].type != QPDFTokenizer::tt_integer)
            unreadable("bad length");
        return static_cast<std::size_t>(std::stoull(tokens[i].raw));
    }

    void copyObject(const ObjectPlace& place)
    {
        std::string text = objectText(place);
        ObjectTokens parsed = tokenize(text);
        std::vector<Token>& tokens = parsed.tokens;
        const bool isStream = parsed.dataStart != 0;
        const bool isCatalog = place.id == m_rootId;

        std::string data;
        std::size_t lengthKey = tokens.size();
        if (isStream) {
            std::size_t length = 0;
            bool haveLength = false;
            for (std::size_t key : topLevelKeys(tokens)) {
                if (tokens[key].value != "/Length")
                    continue;
                lengthKey = key;
                std::size_t value = nextSolid(tokens, key + 1);
                QPDFObjGen lengthId;
                std::size_t end = 0;
                if (referenceAt(tokens, value, lengthId, end)) {
                    length = integerObject(lengthId);
                    haveLength = true;
                } else if (value < tokens.size() && tokens[value].type == QPDFTokenizer::tt_integer) {
                    length = static_cast<std::size_t>(std::stoull(tokens[value].raw));
                    haveLength = true;
                }
            }
            std::size_t start = parsed.dataStart;
            if (start < text.size() && text[start] == '\r')
                ++start;
            if (start < text.size() && text[start] == '\n')
                ++start;
            if (!haveLength || start + length > text.size())
                unreadable("bad stream length");
            data = text.substr(start, length);
            if (m_toUnicode.count(place.id))
                data = repairedMap(data, tokens);
            if (m_finish.encrypt)
                data = m_aes.encrypt(data);
        }

        std::vector<std::size_t> keys = topLevelKeys(tokens);
        std::set<std::size_t> keyStarts(keys.begin(), keys.end());
        std::string out;
        out.reserve(text.size() < 4096 ? text.size() + 64 : 4096);
        bool extensionsAdded = false;
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            const Token& t = tokens[i];
            if (keyStarts.count(i) && (i == lengthKey || (isCatalog && (t.value == "/Metadata" || t.value == "/Extensions")))) {
                // Skip the key and its value; a new length is written in its place.
                std::size_t value = nextSolid(tokens, i + 1);
                QPDFObjGen ignored;
                std::size_t end = value + 1;
                if (!referenceAt(tokens, value, ignored, end) && value < tokens.size()
                    && (tokens[value].type == QPDFTokenizer::tt_dict_open
                        || tokens[value].type == QPDFTokenizer::tt_array_open)) {
                    int depth = 0;
                    for (end = value; end < tokens.size(); ++end) {
                        auto type = tokens[end].type;
                        if (type == QPDFTokenizer::tt_dict_open || type == QPDFTokenizer::tt_array_open)
                            ++depth;
                        else if ((type == QPDFTokenizer::tt_dict_close || type == QPDFTokenizer::tt_array_close)
                                 && --depth == 0)
                            break;
                    }
                    ++end;
                }
                if (i == lengthKey)
                    out += "/Length " + std::to_string(data.size());
                i = end - 1;
                continue;
            }
            if (t.type == QPDFTokenizer::tt_string)
                out += stringToken(t);
            else
                out += t.raw;
            if (isCatalog && m_finish.encrypt && !extensionsAdded && t.type == QPDFTokenizer::tt_dict_open) {
                out += kExtensions;
                extensionsAdded = true;
            }
        }
        m_target << out;
        if (isStream)
            m_target << "\n" << data << "\nendstream\nendobj\n";
        else
            m_target << "\n";
    }

    // A ToUnicode map, inflated if need be, repaired and compressed again.
    std::string repairedMap(const std::string& data, const std::vector<Token>& tokens)
    {
        bool flate = false;
        for (const Token& t : tokens) {
            if (t.type == QPDFTokenizer::tt_name && t.value == "/FlateDecode")
                flate = true;
        }
        auto run = [](const std::string& in, Pl_Flate::action_e action) {
            std::string out;
            Pl_String sink("map", nullptr, out);
            Pl_Flate flate("map", &sink, action);
            flate.write(reinterpret_cast<const unsigned char*>(in.data()), in.size());
            flate.finish();
            return out;
        };
        std::string map = flate ? run(data, Pl_Flate::a_inflate) : data;
        map = repairToUnicode(map, m_finish.drawn ? m_finish.drawn : [](char32_t) { return false; });
        return flate ? run(map, Pl_Flate::a_deflate) : map;
    }

    void writeInformation(const QPDFObjGen& id)
    {
        QPDFObjectHandle dictionary = QPDFObjectHandle::newDictionary();
        for (const auto& [key, value] : m_information)
            dictionary.replaceKey(key, QPDFObjectHandle::newUnicodeString(value));
        std::vector<Token> tokens = tokenize(dictionary.unparse(), true).tokens;
        std::string out = std::to_string(id.getObj()) + " " + std::to_string(id.getGen()) + " obj\n";
        for (const Token& t : tokens)
            out += t.type == QPDFTokenizer::tt_string ? stringToken(t) : t.raw;
        m_target << out << "\nendobj\n";
    }

    void writeCrossReference()
    {
        std::size_t xref = m_target.offset();
        int size = m_nextNumber;
        std::string out = "xref\n0 " + std::to_string(size) + "\n0000000000 65535 f \n";
        char line[32];
        for (int number = 1; number < size; ++number) {
            auto found = m_newOffsets.find(number);
            if (found == m_newOffsets.end())
                std::snprintf(line, sizeof line, "0000000000 00001 f \n");
            else
                std::snprintf(line, sizeof line, "%010zu %05d n \n", found->second.first, found->second.second);
            out += line;
        }
        out += "trailer\n<< /Size " + std::to_string(size) + " /Root " + std::to_string(m_rootId.getObj()) + " "
               + std::to_string(m_rootId.getGen()) + " R /Info " + std::to_string(m_infoId.getObj()) + " "
               + std::to_string(m_infoId.getGen()) + " R";
        if (m_finish.encrypt)
            out += " /Encrypt " + std::to_string(m_encryptId.getObj()) + " 0 R /ID [" + hex(m_id) + hex(m_id) + "]";
        out += " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
        m_target << out;
    }

    std::string m_drawingPath;
    DrawingFile m_drawing;
    TargetFile m_target;
    const PdfFinish& m_finish;
    Aes256 m_aes;
    std::string m_id;
    std::string m_encryptDictionary;
    std::vector<ObjectPlace> m_places;
    std::map<QPDFObjGen, std::size_t> m_placeOf;
    std::set<QPDFObjGen> m_toUnicode;
    std::set<QPDFObjGen> m_skipped;
    std::map<int, std::pair<std::size_t, int>> m_newOffsets; // number: offset, generation
    QPDFObjGen m_rootId;
    QPDFObjGen m_infoId;
    QPDFObjGen m_encryptId;
    std::map<std::string, std::string> m_information; // UTF-8
    int m_nextNumber = 1;
};

} // namespace

void finishPdf(const std::string& drawingPath, const std::string& targetPath, const PdfFinish& finish)
{
    Finisher(drawingPath, targetPath, finish).run();
}

} // namespace zintrel
