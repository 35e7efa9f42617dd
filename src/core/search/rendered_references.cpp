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
    explicit Planner(const std::vector<RenderedDocument>& documents)
        : m_documents(documents)
        , m_visited(documents.size(), false)
    {}

    ReferencePlan plan()
    {
        if (!m_documents.empty())
            walk(0);
        return std::move(m_plan);
    }

private:
    const std::vector<RenderedDocument>& m_documents;
    std::vector<bool> m_visited;
    ReferencePlan m_plan;

    std::size_t m_bytes = 0;

    bool full() const
    {
        return m_plan.urls.size() >= kMaxRenderedReferences || m_bytes >= kMaxRenderedBytes;
    }

    void walk(std::size_t index)
    {
        // A document is read once, so a frame that names an ancestor ends.
        if (index >= m_documents.size() || m_visited[index])
            return;
        m_visited[index] = true;
        const RenderedDocument& document = m_documents[index];
        std::size_t nextFrame = 0;
        scanRenderedMarkup(
            document.markup, [&](std::string_view value) { addValue(value, document.baseUrl); },
            [&] {
                if (nextFrame < document.frames.size())
                    walkFrame(document.frames[nextFrame++]);
            });
        // Frames the markup did not show where they stand still count.
        for (; nextFrame < document.frames.size(); ++nextFrame)
            walkFrame(document.frames[nextFrame]);
        for (const std::string& url : document.otherUrls) {
            if (full())
                break;
            m_bytes += url.size();
            m_plan.urls.push_back(url);
        }
    }

    void walkFrame(int index)
    {
        if (index >= 0)
            walk(static_cast<std::size_t>(index));
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

ReferencePlan planRenderedReferences(const std::vector<RenderedDocument>& documents)
{
    return Planner(documents).plan();
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
