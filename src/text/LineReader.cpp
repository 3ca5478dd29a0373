// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/LineReader.h"

#include <dlfcn.h>
#include <malloc.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

#include "common/Error.h"

namespace kelvarin {

namespace {

std::mutex g_idleMutex;
std::condition_variable g_givenBack;
// The engines loaded and not in use, by their languages, and how many of each were loaded.
std::map<std::string, std::vector<LineReader*>> g_idle;
std::map<std::string, std::size_t> g_loaded;

// Gives the engines back at the end of the process.
struct IdleEngines {
    ~IdleEngines() {
        for (auto& [languages, engines] : g_idle) {
            for (LineReader* engine : engines) {
                std::default_delete<LineReader>()(engine);
            }
        }
    }
} g_idleEngines;

// Tesseract's library is built with OpenMP and would start threads of its own for every line, on top of
// the worker pool's one engine per core: each worker keeps its engine to its own thread.
void oneThreadPerEngine() {
    thread_local bool done = false;
    if (!done) {
        // No nested levels of parallel work: each region the library opens runs on the calling thread.
        using SetLevels = void (*)(int);
        if (auto* set = reinterpret_cast<SetLevels>(dlsym(RTLD_DEFAULT, "omp_set_max_active_levels"))) {
            set(0);
        }
        done = true;
    }
}

// The engines allocate and free blocks of several megabytes for every line they read. Freed memory is
// kept in the process, and the heap grows in large steps, rather than being handed back to the system
// and faulted in again: a page's reading spent a sixth of its time in page faults.
void keepFreedMemory() {
    static std::once_flag once;
    std::call_once(once, [] {
        constexpr int kTrimThreshold = 256 << 20;
        constexpr int kTopPad = 64 << 20;
        mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
        mallopt(M_TOP_PAD, kTopPad);
    });
}

void giveBack(LineReader* engine, const std::string& languages) {
    {
        const std::lock_guard lock(g_idleMutex);
        g_idle[languages].push_back(engine);
    }
    g_givenBack.notify_all();
}

// Each language of "jpn+eng" must have its data file.
void checkLanguages(const std::string& languages) {
    const std::string folder = LineReader::dataFolder();
    std::size_t start = 0;
    while (start <= languages.size()) {
        const std::size_t end = std::min(languages.find('+', start), languages.size());
        const std::string language = languages.substr(start, end - start);
        if (language.empty() || language.find_first_of("/\\.") != std::string::npos ||
            !std::filesystem::is_regular_file(folder + "/" + language + ".traineddata")) {
            throw KelvarinError(ErrorCode::FileNotFound, "文字認識の言語データ「" + language + "」が見つかりません（" +
                                                             folder + "）。tesseract-ocr-" + language +
                                                             " を入れるか、--no-text で文字認識を止めてください。");
        }
        start = end + 1;
    }
}

}  // namespace

LineReader::LineReader(const std::string& languages)
    : m_languages(languages), m_api(std::make_unique<tesseract::TessBaseAPI>()) {
    if (m_api->Init(dataFolder().c_str(), languages.c_str(), tesseract::OEM_LSTM_ONLY) != 0) {
        throw KelvarinError(ErrorCode::FileNotFound, "文字認識の言語データ「" + languages +
                                                         "」を読み込めませんでした（" + dataFolder() + "）。");
    }
    m_api->SetPageSegMode(tesseract::PSM_SINGLE_LINE);
    // The line pictures are scaled to a cap height of about 40 pixels, about what 300 dpi gives 3.5 mm text.
    m_api->SetVariable("user_defined_dpi", "300");
    m_api->SetVariable("debug_file", "/dev/null");
}

LineReader::~LineReader() = default;

std::string LineReader::dataFolder() {
    const char* prefix = std::getenv("TESSDATA_PREFIX");
    return prefix != nullptr && *prefix != '\0' ? std::string(prefix) : std::string(kTessdataFolder);
}

LineReader::Handle LineReader::take(const std::string& languages, std::size_t most) {
    static const auto back = [](LineReader* engine) { giveBack(engine, engine->m_languages); };
    {
        std::unique_lock lock(g_idleMutex);
        std::vector<LineReader*>& idle = g_idle[languages];
        g_givenBack.wait(lock, [&] { return !idle.empty() || g_loaded[languages] < most; });
        if (!idle.empty()) {
            LineReader* engine = idle.back();
            idle.pop_back();
            return Handle(engine, back);
        }
        ++g_loaded[languages];
    }
    try {
        checkLanguages(languages);
        keepFreedMemory();
        return Handle(new LineReader(languages), back);
    } catch (...) {
        {
            const std::lock_guard lock(g_idleMutex);
            --g_loaded[languages];
        }
        g_givenBack.notify_all();
        throw;
    }
}

std::string joinedText(const std::vector<ReadSymbol>& symbols) {
    std::string text;
    for (std::size_t k = 0; k < symbols.size(); ++k) {
        if (k > 0 && symbols[k].startsWord) {
            text += ' ';
        }
        text += symbols[k].text;
    }
    return text;
}

LineReading LineReader::read(const GreyImage& image) {
    oneThreadPerEngine();
    m_api->SetImage(image.pixels.data(), image.width, image.height, 1, image.width);
    LineReading reading;
    if (m_api->Recognize(nullptr) != 0) {
        return reading;
    }
    const std::unique_ptr<char[]> text(m_api->GetUTF8Text());
    reading.text = text != nullptr ? text.get() : "";
    reading.confidence = m_api->MeanTextConf();
    const std::unique_ptr<tesseract::ResultIterator> symbols(m_api->GetIterator());
    if (symbols != nullptr) {
        do {
            const std::unique_ptr<char[]> symbol(symbols->GetUTF8Text(tesseract::RIL_SYMBOL));
            int left = 0, top = 0, right = 0, bottom = 0;
            if (symbol != nullptr && symbols->BoundingBox(tesseract::RIL_SYMBOL, &left, &top, &right, &bottom)) {
                reading.symbols.push_back({symbol.get(), left, right, symbols->IsAtBeginningOf(tesseract::RIL_WORD),
                                           symbols->Confidence(tesseract::RIL_SYMBOL)});
            }
        } while (symbols->Next(tesseract::RIL_SYMBOL));
    }
    m_api->Clear();
    return reading;
}

}  // namespace kelvarin
