#pragma once

namespace vellamor::devbackend
{

class DevServer;
class DevInputSources;

// The pages a phone's browser opens from the pairing QR code, in Chinese
// like the app; everything they echo is escaped.
// - GET /pair?code=C: a form with the device's name (prefilled) and a
//   button. Its POST /pair (form fields "code", "name") claims the code as
//   DevInputSources::claim does, with the name trimmed to 64 characters
//   (grapheme clusters), and sends the browser on (303) to the source's
//   page. An unknown (404), expired (410) or used (409) code, or a server
//   with all its sources taken (409), answers a page saying so.
// - GET /pair/source?token=T: the source's page. Pending, it reloads itself
//   until the desktop answers; active, a text field whose POST /pair/source
//   (fields "token", "text") sends the text as the phone, now or 5 s later;
//   revoked, a page saying so. An unknown token: 404. The page posts with
//   fetch() and stays; asked for text/plain, the post answers with its
//   notice alone: 200 sent, 400 no text, 409 the source is not active.
//   Without scripts the form posts and the page comes back with the notice.
void installPairingPage(DevServer& server, DevInputSources& sources);

} // namespace vellamor::devbackend
