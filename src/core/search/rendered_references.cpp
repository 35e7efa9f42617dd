#include "core/search/rendered_references.h"

#include <optional>
#include <string_view>
#include <unordered_set>

#include "core/http/header_text.h"
#include "core/search/plain_reference.h"
#include "core/search/rendered_markup.h"

namespace vel {

namespace {

std::string_view stripped(std::string_view value)
{
    while (!value.empty() && static_cast<unsigned char>(value.front()) <= 0x20)
        value.remove_prefix(1);
    while (!value.empty() && static_cast<unsigned char>(value.back()) <= 0x20)
        value.remove_suffix(1);
    return value;
}

bool hasSkippedScheme(std::string_view url)
{
    const std::size_t colon = url.find(':');
    if (colon == std::string_view::npos)
        return true;
    const std::string_view scheme = url.substr(0, colon);
    return equalsIgnoringCase(scheme, "data") || equalsIgnoringCase(scheme, "blob")
        || equalsIgnoringCase(scheme, "javascript");
}

class Planner {
public:
    Planner(const std::vector<RenderedDocument>& documents, const std::atomic<bool>* stop)
        : m_documents(documents)
        , m_stop(stop)
        , m_visited(documents.size(), false)
    {}

    ReferencePlan plan()
    {
        if (!m_documents.empty())
            walk();
        return std::move(m_plan);
    }

private:
    // A document being read: where its markup stands and which of its
    // frames comes next.
    struct Open {
        std::size_t index;
        RenderedMarkupReader reader;
        std::size_t nextFrame = 0;
        bool markupDone = false;
    };

    const std::vector<RenderedDocument>& m_documents;
    const std::atomic<bool>* m_stop;
    std::vector<bool> m_visited;
    ReferencePlan m_plan;

    std::size_t m_bytes = 0;

    bool full() const
    {
        return m_plan.urls.size() >= kMaxRenderedReferences || m_bytes >= kMaxRenderedBytes;
    }

    // Depth first, each frame's document where the frame stands, on a stack
    // of its own: frames may be nested far deeper than the call stack allows.
    void walk()
    {
        std::vector<Open> open;
        enter(open, 0);
        while (!open.empty()) {
            if (m_stop && m_stop->load(std::memory_order_relaxed))
                return;
            Open& top = open.back();
            const RenderedDocument& document = m_documents[top.index];
            if (!top.markupDone) {
                const std::string& base = document.baseUrl;
                if (top.reader.readToNextFrame(
                        [&](std::string_view value) { addValue(value, base); })) {
                    if (top.nextFrame < document.frames.size())
                        enter(open, document.frames[top.nextFrame++]);
                    continue;
                }
                top.markupDone = true;
            }
            // Frames the markup did not show where they stand still count.
            if (top.nextFrame < document.frames.size()) {
                enter(open, document.frames[top.nextFrame++]);
                continue;
            }
            for (const std::string& url : document.otherUrls) {
                if (full())
                    break;
                m_bytes += url.size();
                m_plan.urls.push_back(url);
            }
            open.pop_back();
        }
    }

    // A document is read once, so a frame that names an ancestor ends there.
    void enter(std::vector<Open>& open, int index)
    {
        if (index < 0 || static_cast<std::size_t>(index) >= m_documents.size()
            || m_visited[static_cast<std::size_t>(index)])
            return;
        const auto at = static_cast<std::size_t>(index);
        m_visited[at] = true;
        open.push_back(Open{at, RenderedMarkupReader(m_documents[at].markup, m_stop)});
    }

    void addValue(std::string_view written, const std::string& base)
    {
        const std::string_view value = stripped(written);
        if (value.empty() || full())
            return;
        if (std::optional<std::string> url = joinPlainReference(base, value)) {
            m_bytes += url->size();
            m_plan.urls.push_back(std::move(*url));
            return;
        }
        m_bytes += value.size() + base.size();
        m_plan.pendingSlots.push_back(m_plan.urls.size());
        m_plan.pending.emplace_back(std::string(value), base);
        m_plan.urls.emplace_back();
    }
};

}  // namespace

ReferencePlan planRenderedReferences(const std::vector<RenderedDocument>& documents,
                                     const std::atomic<bool>* stop)
{
    return Planner(documents, stop).plan();
}

std::vector<std::string> finishRenderedReferences(ReferencePlan plan,
                                                  const std::vector<std::string>& resolved)
{
    for (std::size_t i = 0; i < plan.pendingSlots.size() && i < resolved.size(); ++i)
        plan.urls[plan.pendingSlots[i]] = resolved[i];
    // The set views the plan's strings, which stay in place until all are seen.
    std::vector<bool> kept(plan.urls.size(), false);
    std::unordered_set<std::string_view> seen;
    seen.reserve(plan.urls.size());
    std::size_t count = 0;
    for (std::size_t i = 0; i < plan.urls.size(); ++i) {
        const std::string& url = plan.urls[i];
        kept[i] = !url.empty() && !hasSkippedScheme(url) && seen.insert(url).second;
        count += kept[i] ? 1 : 0;
    }
    std::vector<std::string> urls;
    urls.reserve(count);
    for (std::size_t i = 0; i < plan.urls.size(); ++i) {
        if (kept[i])
            urls.push_back(std::move(plan.urls[i]));
    }
    return urls;
}

}  // namespace vel
