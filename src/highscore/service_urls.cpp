#include "highscore/service_urls.h"

#include "highscore/url_encoding.h"

namespace zorblet::highscore {

std::string BestOfUrl(std::string_view server) {
    return std::string(server) + "BestOffSQL.php";
}

std::string ListUrl(std::string_view server, std::int32_t points) {
    return std::string(server) + "ListeSQL.php?Punkte=" + std::to_string(points);
}

std::string SubmitUrl(std::string_view server, std::int32_t points, std::string_view name, std::string_view checkText) {
    return std::string(server) + "HighScoreSQL.php?Punkte=" + std::to_string(points) + "&Name=" + PercentEncode(name) +
           "&Check=" + std::string(checkText);
}

}  // namespace zorblet::highscore
