#include "query_desk.h"

#include "query_pages.h"

namespace substitute {

QueryContents& QueryDesk::entry(const std::string& caption)
{
    auto found = contents_.find(caption);
    if (found == contents_.end()) {
        found = contents_.emplace(caption, defaultContents(caption)).first;
    }
    return found->second;
}

void QueryDesk::setContents(const std::string& caption, QueryContents contents)
{
    std::lock_guard<std::mutex> guard(mutex_);
    entry(caption) = std::move(contents);
}

void QueryDesk::setColumns(const std::string& caption, std::vector<std::string> columns)
{
    std::lock_guard<std::mutex> guard(mutex_);
    entry(caption).columns = std::move(columns);
}

void QueryDesk::setRows(const std::string& caption, std::vector<Row> rows)
{
    std::lock_guard<std::mutex> guard(mutex_);
    entry(caption).rows = std::move(rows);
}

void QueryDesk::setStatus(const std::string& caption, std::string status)
{
    std::lock_guard<std::mutex> guard(mutex_);
    entry(caption).status = std::move(status);
}

void QueryDesk::setFunds(const std::string& caption, std::string rmb, std::string usd, std::string hkd)
{
    std::lock_guard<std::mutex> guard(mutex_);
    QueryContents& contents = entry(caption);
    contents.rmbFunds = std::move(rmb);
    contents.usdFunds = std::move(usd);
    contents.hkdFunds = std::move(hkd);
}

QueryContents QueryDesk::contents(const std::string& caption) const
{
    std::lock_guard<std::mutex> guard(mutex_);
    const auto found = contents_.find(caption);
    return found == contents_.end() ? defaultContents(caption) : found->second;
}

void QueryDesk::queueReply(const std::string& caption, QueryReply reply)
{
    std::lock_guard<std::mutex> guard(mutex_);
    replies_[caption].push_back(std::move(reply));
}

void QueryDesk::setDefaultReply(QueryReply reply)
{
    std::lock_guard<std::mutex> guard(mutex_);
    defaultReply_ = std::move(reply);
}

std::vector<QueryClick> QueryDesk::clicks() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return clicks_;
}

std::vector<QueryPrompt> QueryDesk::prompts() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return prompts_;
}

QueryReply QueryDesk::takeReply(const std::string& caption)
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::deque<QueryReply>& queued = replies_[caption];
    if (queued.empty()) {
        return defaultReply_;
    }
    QueryReply reply = std::move(queued.front());
    queued.pop_front();
    return reply;
}

void QueryDesk::recordClick(QueryClick click)
{
    std::lock_guard<std::mutex> guard(mutex_);
    clicks_.push_back(std::move(click));
}

size_t QueryDesk::recordPrompt(const std::string& text)
{
    std::lock_guard<std::mutex> guard(mutex_);
    prompts_.push_back(QueryPrompt{text, false});
    return prompts_.size() - 1;
}

void QueryDesk::recordPromptClosed(size_t index, bool confirmed)
{
    std::lock_guard<std::mutex> guard(mutex_);
    prompts_.at(index).confirmed = confirmed;
}

void QueryDesk::registerShortablePage(HWND page)
{
    std::lock_guard<std::mutex> guard(mutex_);
    shortablePages_.push_back(page);
}

HWND QueryDesk::shortablePage() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    // The page's own shown state: the main frame is hidden while the
    // library drives the client, so IsWindowVisible says nothing here.
    for (HWND page : shortablePages_) {
        if ((GetWindowLongPtrA(page, GWL_STYLE) & WS_VISIBLE) != 0) {
            return page;
        }
    }
    return shortablePages_.empty() ? nullptr : shortablePages_.front();
}

}  // namespace substitute

namespace substitute {

void QueryDesk::recordStatusSet()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    std::lock_guard<std::mutex> guard(mutex_);
    lastStatusSetMs_ = 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double QueryDesk::lastStatusSetMs() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return lastStatusSetMs_;
}

}  // namespace substitute
