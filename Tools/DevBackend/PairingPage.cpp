#include "PairingPage.h"

#include "DevHttpResponse.h"
#include "DevInputSources.h"
#include "DevServer.h"

#include <QTextBoundaryFinder>
#include <QUrlQuery>

namespace vellamor::devbackend
{

namespace
{

const QString pairPath = QStringLiteral("/pair");
const QString sourcePath = QStringLiteral("/pair/source");
const QString defaultDeviceName = QStringLiteral("我的手机");
constexpr qsizetype maxDeviceName = 64;

QString escaped(const QString& text)
{
    return text.toHtmlEscaped();
}

DevHttpResponse page(int status, const QString& title, const QString& body, bool reload = false)
{
    const QString html
        = QStringLiteral("<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
                         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">%1"
                         "<title>%2</title><style>"
                         "body{font-family:sans-serif;max-width:28rem;margin:2rem auto;padding:0 1rem;line-height:1.5}"
                         "input,textarea,button{font-size:1rem;width:100%;box-sizing:border-box;margin:.4rem 0}"
                         "</style></head><body><h1>%2</h1>%3</body></html>\n")
              .arg(reload ? QStringLiteral("<meta http-equiv=\"refresh\" content=\"1\">") : QString(), escaped(title),
                  body);
    return DevHttpResponse::html(status, html);
}

DevHttpResponse methodNotAllowed()
{
    DevHttpResponse response = DevHttpResponse::text(405, "use GET or POST\n");
    response.setHeader("Allow", "GET, POST");
    return response;
}

// The fields of a form the browser posted (application/x-www-form-urlencoded).
QUrlQuery formOf(const DevHttpRequest& request)
{
    QByteArray body = request.body;
    body.replace('+', ' ');
    return QUrlQuery(QString::fromUtf8(body));
}

QString field(const QUrlQuery& fields, const QString& name)
{
    return fields.queryItemValue(name, QUrl::FullyDecoded);
}

// The name trimmed to at most maxDeviceName characters as a reader counts
// them, so an emoji or an accented letter at the end is kept whole or left out.
QString deviceName(const QString& given)
{
    const QString name = given.trimmed();
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, name);
    qsizetype end = 0;
    for (qsizetype kept = 0; kept < maxDeviceName && characters.toNextBoundary() != -1; ++kept)
        end = characters.position();
    return name.left(end);
}

DevHttpResponse refusalPage(DevInputSources::ClaimRefusal refusal)
{
    const QString again = QStringLiteral("请在电脑上重新点击“添加输入源”，扫描新的二维码。");
    switch (refusal) {
    case DevInputSources::ClaimRefusal::unknownCode:
        return page(404, QStringLiteral("配对码无效"), QStringLiteral("<p>没有这个配对码。") + again + u"</p>");
    case DevInputSources::ClaimRefusal::expiredCode:
        return page(
            410, QStringLiteral("配对码已过期"), QStringLiteral("<p>配对码的有效期是 5 分钟。") + again + u"</p>");
    case DevInputSources::ClaimRefusal::claimedCode:
        return page(409, QStringLiteral("配对码已被使用"),
            QStringLiteral("<p>这个配对码已经绑定过一台设备。") + again + u"</p>");
    case DevInputSources::ClaimRefusal::tooManySources:
        break;
    }
    return page(409, QStringLiteral("输入源已达上限"), QStringLiteral("<p>请先在电脑上移除不再使用的输入源。</p>"));
}

DevHttpResponse claimForm(const QString& code)
{
    return page(200, QStringLiteral("绑定输入源"),
        QStringLiteral("<p>绑定后，在这台设备上输入的文字会出现在电脑的光标处。</p>"
                       "<form method=\"post\" action=\"%1\">"
                       "<input type=\"hidden\" name=\"code\" value=\"%2\">"
                       "<label>设备名称<input name=\"name\" value=\"%3\" maxlength=\"%4\"></label>"
                       "<button type=\"submit\">绑定</button></form>")
            .arg(pairPath, escaped(code), escaped(defaultDeviceName), QString::number(maxDeviceName)));
}

DevHttpResponse answerPair(const DevHttpRequest& request, DevInputSources& sources)
{
    if (request.method == u"GET") {
        const QString code = request.query.queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded);
        if (const auto refusal = sources.refusalOf(code))
            return refusalPage(*refusal);
        return claimForm(code);
    }
    if (request.method != u"POST")
        return methodNotAllowed();
    const QUrlQuery form = formOf(request);
    QString name = deviceName(field(form, QStringLiteral("name")));
    if (name.isEmpty())
        name = defaultDeviceName;
    DevInputSources::ClaimRefusal refusal {};
    const auto claimed = sources.claim(field(form, QStringLiteral("code")), name, request.peer.toString(), &refusal);
    if (!claimed)
        return refusalPage(refusal);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("token"), claimed->sourceToken);
    DevHttpResponse response = DevHttpResponse::text(303, "see the source's page\n");
    response.setHeader("Location", (sourcePath + u'?' + query.toString(QUrl::FullyEncoded)).toUtf8());
    return response;
}

// Sends the form with fetch() and stays: a reload would cut the text the
// desktop types back into this browser when it is the window in front. The
// field is emptied and focused before the text leaves, so that what comes
// back lands in it and not on a button it could press.
const QString sendScript = QStringLiteral(R"(<script>
const form = document.getElementById("send"), notice = document.getElementById("notice");
const field = form.elements.namedItem("text");
async function send() {
  const fields = new URLSearchParams(new FormData(form)), text = fields.get("text");
  field.value = "";
  field.focus();
  try {
    const answer = await fetch(form.action, {method: "POST", body: fields, headers: {Accept: "text/plain"}});
    notice.textContent = await answer.text();
    if (!answer.ok && !field.value) field.value = text;
  } catch (error) {
    notice.textContent = "发送失败：" + error.message;
    if (!field.value) field.value = text;
  }
}
form.addEventListener("submit", event => { event.preventDefault(); send(); });
document.getElementById("later").addEventListener("click", () => {
  notice.textContent = "5 秒后发送：请在这期间点击要输入文字的窗口。";
  setTimeout(send, 5000);
});
</script>)");

// The source's page; `notice` (plain text) is shown above the form.
DevHttpResponse sourcePage(const DevInputSources::Source& source, const QString& notice = {})
{
    const QString name = QStringLiteral("“") + escaped(source.friendlyName) + QStringLiteral("”");
    if (source.status == u"pending") {
        return page(200, QStringLiteral("等待确认"),
            QStringLiteral("<p>请在电脑上确认绑定 %1。确认后这个页面会自己刷新。</p>").arg(name), true);
    }
    if (source.status != u"active") {
        return page(200, QStringLiteral("未绑定"),
            QStringLiteral("<p>%1 的绑定已被拒绝或解除。如需再绑定，请在电脑上重新点击“添加输入源”。</p>").arg(name));
    }
    return page(200, QStringLiteral("已绑定"),
        QStringLiteral("<p>%1 已绑定。输入文字后点击“发送”，文字会出现在电脑上最前面窗口的光标处。</p>"
                       "<p id=\"notice\" role=\"status\">%2</p>"
                       "<form id=\"send\" method=\"post\" action=\"%3\">"
                       "<input type=\"hidden\" name=\"token\" value=\"%4\">"
                       "<textarea name=\"text\" rows=\"4\" autofocus></textarea>"
                       "<button type=\"submit\">发送</button>"
                       "<button type=\"button\" id=\"later\">5 秒后发送</button></form>")
                .arg(name, escaped(notice), sourcePath, escaped(source.token))
            + sendScript);
}

// What a post of text comes to: the page again, or for the page's own
// script (Accept: text/plain) the notice alone, with a status that says
// whether the text went out.
DevHttpResponse sendAnswer(const DevHttpRequest& request, const DevInputSources::Source& source, int status,
    const QString& notice)
{
    if (request.header("Accept") == "text/plain")
        return DevHttpResponse::text(status, notice.toUtf8());
    return sourcePage(source, notice);
}

DevHttpResponse answerSource(const DevHttpRequest& request, DevInputSources& sources)
{
    if (request.method != u"GET" && request.method != u"POST")
        return methodNotAllowed();
    const QUrlQuery form = request.method == u"POST" ? formOf(request) : request.query;
    const QString token = field(form, QStringLiteral("token"));
    const DevInputSources::Source* source = sources.sourceWithToken(token);
    if (!source)
        return page(404, QStringLiteral("输入源不存在"),
            QStringLiteral("<p>请在电脑上点击“添加输入源”，扫描二维码重新绑定。</p>"));
    if (request.method == u"GET")
        return sourcePage(*source);
    const QString text = field(form, QStringLiteral("text"));
    if (text.trimmed().isEmpty())
        return sendAnswer(request, *source, 400, QStringLiteral("请先输入文字。"));
    if (!sources.sendText(token, text))
        return sendAnswer(request, *source, 409, QStringLiteral("这台设备还未绑定，文字没有发出。"));
    return sendAnswer(request, *source, 200, QStringLiteral("已发送：") + text);
}

} // namespace

void installPairingPage(DevServer& server, DevInputSources& sources)
{
    server.registerPage(pairPath, [&sources](const DevHttpRequest& request) { return answerPair(request, sources); });
    server.registerPage(
        sourcePath, [&sources](const DevHttpRequest& request) { return answerSource(request, sources); });
}

} // namespace vellamor::devbackend
