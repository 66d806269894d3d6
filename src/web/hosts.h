// The hosts the program talks to. Every address the program builds starts from these.
#pragma once

namespace lilan {

inline constexpr const char* CommentServiceBase = "http://coral.qq.com/";
inline constexpr const char* NewsSiteBase = "http://news.qq.com";
inline constexpr const char* NewsSiteHost = "news.qq.com";
inline constexpr const char* TopicPageBase = "http://view.news.qq.com";

} // namespace lilan
