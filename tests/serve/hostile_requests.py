"""Requests no well-behaved client sends, as raw bytes: each must get a 4xx or 5xx
answer or a closed connection from glyphtint-serve, never a hang or a crash. A case is
(name, bytes, good): good answers may come first (a valid request before the junk)."""

BAD_QUERY = b"/strip.png?text=%G1"


def request(line, headers=((b"Host", b"x"),), body=b"", end=b"\r\n"):
    head = line + end + b"".join(name + b": " + value + end for name, value in headers)
    return head + end + body


def cases():
    found = []

    def add(name, data, good=0):
        found.append((name, data, good))

    # Request lines that are no request line.
    for name, line in (("empty line", b""), ("method alone", b"GET"), ("no version", b"GET /strip.png?text=x"),
                       ("version alone", b"HTTP/1.1"), ("leading space", b" GET /healthz HTTP/1.1"),
                       ("two spaces", b"GET  /nothing HTTP/1.1"), ("trailing word", b"GET /nothing HTTP/1.1 x"),
                       ("version 9.9", b"GET /healthz HTTP/9.9"), ("version 1.10", b"GET /healthz HTTP/1.10"),
                       ("version 2.0", b"GET /healthz HTTP/2.0"), ("not HTTP", b"GET /healthz HTTX/1.1"),
                       ("lower-case version", b"GET /healthz http/1.1"), ("tab separated", b"GET\t/nothing\tHTTP/1.1"),
                       ("no target", b"GET HTTP/1.1"), ("method of 5000 bytes", b"G" * 5000 + b" / HTTP/1.1"),
                       ("CONNECT", b"CONNECT example.com:443 HTTP/1.1"), ("OPTIONS *", b"OPTIONS * HTTP/1.1"),
                       ("TRACE", b"TRACE /strip.png?text=x HTTP/1.1"), ("lower-case get", b"get /strip.png?text=x HTTP/1.1"),
                       ("target without slash", b"GET strip.png?text=x HTTP/1.1"), ("binary", bytes(range(1, 32)) * 4),
                       ("high bytes", b"\xff\xfe\xfd GET / HTTP/1.1"), ("TLS hello", b"\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03")):
        add(name, request(line))
    add("HTTP/1.0 without Host to a missing page", b"GET /nothing HTTP/1.0\r\n\r\n")
    add("HTTP/1.1 without Host", b"GET /nothing HTTP/1.1\r\n\r\n")
    add("two Host headers", request(b"GET /nothing HTTP/1.1", ((b"Host", b"a"), (b"Host", b"b"))))
    add("HTTP/0.9", b"GET /\r\n")
    add("HTTP/0.9 picture", b"GET /strip.png?text=x\r\n")
    add("HTTP/2 preface", b"PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n")
    add("HTTP/2 preface and frames", b"PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n\x00\x00\x12\x04\x00\x00\x00\x00\x00" + b"\x00" * 18)
    add("bare LF line ends", request(BAD_QUERY.join((b"GET ", b" HTTP/1.1")), end=b"\n"))
    add("bare CR line ends", request(b"GET /healthz HTTP/1.1", end=b"\r"))

    # NUL and control bytes in the line and the headers.
    for name, line in (("NUL in the method", b"GE\x00T /strip.png?text=x HTTP/1.1"),
                       ("NUL in the path", b"GET /strip.png\x00.jpg?text=x HTTP/1.1"),
                       ("NUL in the query", b"GET /strip.png?text=a\x00b HTTP/1.1"),
                       ("NUL hiding a bad escape", b"GET /info.json?text=a\x00%ZZ HTTP/1.1"),
                       ("NUL at the end of the target", b"GET /info.json?text=ab\x00 HTTP/1.1"),
                       ("tab in the query", b"GET /info.json?text=a\tb HTTP/1.1"),
                       ("NUL in the version", b"GET /strip.png?text=x HTTP/1.1\x00"),
                       ("DEL in the path", b"GET /str\x7fip.png?text=x HTTP/1.1"),
                       ("escape in the path", b"GET /\x1b[31mstrip.png HTTP/1.1"),
                       ("CR inside the line", b"GET /strip.png?text=a\rb HTTP/1.1")):
        add(name, request(line))
    for name, header in (("NUL in a header value", (b"X-A", b"a\x00b")), ("NUL in a header name", (b"X\x00A", b"a")),
                         ("NUL in If-None-Match", (b"If-None-Match", b'"\x00"')),
                         ("header without colon", (b"X-Without-Colon", b"")),
                         ("space before colon", (b"Host ", b"x")), ("empty header name", (b"", b"x")),
                         ("control byte in a name", (b"X\x01A", b"a")), ("folded header", (b"X-A", b"a\r\n b"))):
        add(name, request(b"GET " + BAD_QUERY + b" HTTP/1.1", ((b"Host", b"x"), header)))

    # Targets: escapes, absolute form, length.
    for name, target in (("percent at the end", b"/strip.png?text=ab%"), ("%G1", b"/strip.png?text=%G1"),
                         ("percent and one digit", b"/strip.png?text=%4"), ("%%", b"/strip.png?text=%%41"),
                         ("escaped NUL in the path", b"/strip.png%00?text=x"), ("percent in a name", b"/strip.png?te%xt=x"),
                         ("escaped slash", b"/strip.png%2F..%2F?text=x"), ("dot segments", b"/../../etc/passwd"),
                         ("encoded dot segments", b"/%2e%2e/%2e%2e/etc/passwd"), ("backslashes", b"\\..\\strip.png?text=x"),
                         ("absolute form", b"http://x/nothing"), ("absolute form with a bad query", b"http://x" + BAD_QUERY),
                         ("absolute form https", b"https://evil.example/nothing"), ("authority form", b"x:80"),
                         ("asterisk with GET", b"*"), ("fragment", b"/nothing#frag"),
                         ("overlong path 8 KB", b"/" + b"a" * 8192), ("overlong path 100 KB", b"/" + b"a" * 100000),
                         ("overlong path 1 MB", b"/" + b"a" * (1 << 20)),
                         ("many slashes", b"/" * 20000 + b"strip.png?text=x"),
                         ("text over the limit", b"/strip.png?text=" + b"x" * 4097),
                         ("text of 100 KB", b"/strip.png?text=" + b"x" * 100000),
                         ("text of 1 MB", b"/strip.png?text=" + b"x" * (1 << 20)),
                         ("escaped text of 2 MB", b"/strip.png?text=" + b"%41" * (700 << 10)),
                         ("many parameters", b"/strip.png?" + b"&" * 50000 + b"text=x&q=1"),
                         ("parameter name of 10 KB", b"/strip.png?" + b"n" * 10000 + b"=x"),
                         ("scale past int", b"/strip.png?text=x&scale=99999999999999999999"),
                         ("min-contrast NaN", b"/strip.png?text=x&min-contrast=nan"),
                         ("min-contrast huge", b"/strip.png?text=x&min-contrast=1e308"),
                         ("background of 10 KB", b"/strip.png?text=x&background=" + b"f" * 10000),
                         ("only codes", b"/strip.png?text=" + b"%5E1" * 1000),
                         ("question mark alone", b"/strip.png?")):
        add(name, request(b"GET " + target + b" HTTP/1.1"))

    # Headers: size and number.
    add("1 MB header", request(b"GET /healthz HTTP/1.1", ((b"Host", b"x"), (b"X-Big", b"a" * (1 << 20)))))
    add("1 MB of small headers", request(b"GET /healthz HTTP/1.1",
                                         [(b"Host", b"x")] + [(b"X-%d" % i, b"a" * 90) for i in range(11000)]))
    add("10 000 empty headers", request(b"GET /healthz HTTP/1.1", [(b"Host", b"x")] + [(b"X", b"")] * 10000))
    add("If-None-Match of 64 KB", request(b"GET /strip.png?text=x HTTP/1.1",
                                          ((b"Host", b"x"), (b"If-None-Match", b'"a",' * 16000))))
    add("header name of 40 KB", request(b"GET /healthz HTTP/1.1", ((b"Host", b"x"), (b"X" * 40000, b"a"))))
    add("headers without end", b"GET /healthz HTTP/1.1\r\nHost: x\r\n" + b"X: a\r\n" * 5000)

    # Bodies and their framing.
    post = b"POST /strip.png?text=x HTTP/1.1"
    for name, headers, body in (
            ("chunked and Content-Length", ((b"Transfer-Encoding", b"chunked"), (b"Content-Length", b"4")), b"0\r\n\r\n"),
            ("Content-Length and chunked", ((b"Content-Length", b"40"), (b"Transfer-Encoding", b"chunked")),
             b"0\r\n\r\nGET /healthz HTTP/1.1\r\nHost: x\r\n\r\n"),
            ("chunk size not hex", ((b"Transfer-Encoding", b"chunked"),), b"zz\r\nabc\r\n0\r\n\r\n"),
            ("chunk size negative", ((b"Transfer-Encoding", b"chunked"),), b"-1\r\nabc\r\n0\r\n\r\n"),
            ("chunk size past 64 bits", ((b"Transfer-Encoding", b"chunked"),), b"1" * 40 + b"\r\nabc\r\n0\r\n\r\n"),
            ("chunk size huge", ((b"Transfer-Encoding", b"chunked"),), b"ffffffffffffffff\r\nabc\r\n"),
            ("chunk larger than sent", ((b"Transfer-Encoding", b"chunked"),), b"100\r\nabc\r\n0\r\n\r\n"),
            ("chunk without CRLF", ((b"Transfer-Encoding", b"chunked"),), b"3\r\nabcX0\r\n\r\n"),
            ("chunk extension of 64 KB", ((b"Transfer-Encoding", b"chunked"),), b"3;" + b"e" * 65536 + b"\r\nabc\r\n0\r\n\r\n"),
            ("TE gzip", ((b"Transfer-Encoding", b"gzip"),), b"abc"),
            ("TE chunked twice", ((b"Transfer-Encoding", b"chunked, chunked"),), b"0\r\n\r\n"),
            ("TE with spaces", ((b"Transfer-Encoding", b" chunked "),), b"0\r\n\r\n"),
            ("TE obfuscated", ((b"Transfer-Encoding", b"xchunked"),), b"0\r\n\r\n"),
            ("two Content-Lengths", ((b"Content-Length", b"3"), (b"Content-Length", b"5")), b"abcde"),
            ("Content-Length negative", ((b"Content-Length", b"-1"),), b""),
            ("Content-Length past 64 bits", ((b"Content-Length", b"99999999999999999999999"),), b"abc"),
            ("Content-Length not a number", ((b"Content-Length", b"abc"),), b""),
            ("Content-Length larger than sent", ((b"Content-Length", b"1000000"),), b"abc"),
            ("body of 2 MB", ((b"Content-Length", b"%d" % (2 << 20)),), b"a" * (2 << 20))):
        add("POST " + name, request(post, ((b"Host", b"x"),) + headers, body))
    add("TE on GET", request(b"GET " + BAD_QUERY + b" HTTP/1.1", ((b"Host", b"x"), (b"Transfer-Encoding", b"chunked")),
                             b"5\r\nhello\r\n0\r\n\r\n"))
    add("TE on GET, bad chunk", request(b"GET " + BAD_QUERY + b" HTTP/1.1",
                                        ((b"Host", b"x"), (b"Transfer-Encoding", b"chunked")), b"q\r\n"))
    add("Content-Length on GET smuggling a request",
        request(b"GET " + BAD_QUERY + b" HTTP/1.1", ((b"Host", b"x"), (b"Content-Length", b"44")),
                b"GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n" + b"x" * 10))
    add("Expect 100-continue without body", request(post, ((b"Host", b"x"), (b"Expect", b"100-continue"),
                                                           (b"Content-Length", b"100000"))))

    # Junk pipelined after a good request: the good one is answered, the junk refused.
    good = request(b"GET /healthz HTTP/1.1")
    for name, junk in (("junk line", b"JUNK\r\n\r\n"), ("NUL bytes", b"\x00" * 100 + b"\r\n\r\n"),
                       ("HTTP/2 preface", b"PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n"),
                       ("1 MB of junk", b"x" * (1 << 20)), ("bad version", request(b"GET /healthz HTTP/7.0")),
                       ("a bad query", request(b"GET " + BAD_QUERY + b" HTTP/1.1"))):
        add("pipelined " + name, good + junk, good=1)
    return found


# A client that sends one byte a second: the server closes it within its timeout.
SLOW = b"GET /healthz HTTP/1.1\r\nHost: x\r\nX-Padding: " + b"a" * 60


def exact_cases():
    """Requests whose answer is known to the status: (name, bytes, status, logged). Each is
    sent alone on its connection and gets one answer of that status with Content-Type and
    nosniff; logged is the access log's line for it, when its target is /c<index>."""
    found = []

    def add(name, status, target=None, headers=((b"Host", b"x"),), body=b"", method=b"GET", version=b"HTTP/1.1"):
        logged = None
        if target is None:
            target = b"/c%d" % len(found)
            logged = b"%s %s %d " % (method, target, status)
        found.append((name, request(method + b" " + target + b" " + version, headers, body), status, logged))

    host = (b"Host", b"x")
    add("body on GET", 400, headers=(host, (b"Content-Length", b"3")), body=b"abc")
    add("body on HEAD", 400, headers=(host, (b"Content-Length", b"3")), body=b"abc", method=b"HEAD")
    add("body on POST", 405, headers=(host, (b"Content-Length", b"3")), body=b"abc", method=b"POST")
    add("chunked POST", 405, headers=(host, (b"Transfer-Encoding", b"chunked")), body=b"3\r\nabc\r\n0\r\n\r\n",
        method=b"POST")
    add("CL.CL", 400, headers=(host, (b"Content-Length", b"0"), (b"Content-Length", b"34")),
        body=b"GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n")
    add("space before the colon", 400, headers=(host, (b"Transfer-Encoding ", b"chunked")), body=b"0\r\n\r\n")
    for coding in (b"gzip", b"xchunked", b"chunked, identity"):
        add("Transfer-Encoding " + coding.decode(), 501, headers=(host, (b"Transfer-Encoding", coding)),
            body=b"0\r\n\r\n")
    add("no Host", 400, headers=())
    add("two Hosts", 400, headers=(host, (b"Host", b"y")))
    add("NUL in If-None-Match", 400, headers=(host, (b"If-None-Match", b'"a\x00b"')))
    add("NUL in the query", 400, target=b"/info.json?text=a\x00b")
    add("raw space in the target", 400, target=b"/info.json?text=a b")
    add("absolute form", 200, target=b"http://x/info.json?text=ab")
    add("long style value", 400, target=b"/strip.png?text=a&background=" + b"f" * 100)
    add("1000 parameters", 400, target=b"/info.json?" + b"&".join(b"p%d=1" % i for i in range(1000)))
    add("target of 40 KB", 414, target=b"/" + b"a" * 40000)
    add("header of 40 KB", 431, headers=(host, (b"X-Big", b"a" * 40000)))
    add("2000 header lines", 431, headers=(host,) + ((b"X", b"a"),) * 2000)
    # Heads libmicrohttpd would answer in its own way, or not at all.
    for length in (b"-1", b"0x0", b"5, 5", b"abc"):
        add("Content-Length " + length.decode(), 400, headers=(host, (b"Content-Length", length)))
    add("HTTP/2.5", 505, version=b"HTTP/2.5")
    found.append(("garbage request line", b"GARBAGE\r\n\r\n", 400, b"-  400 "))
    add("8000 parameters", 400, target=b"/info.json?" + b"&".join(b"p" for i in range(8000)))
    add("target of 1 MB", 414, target=b"/" + b"a" * (1 << 20))
    add("header of 1 MB", 431, headers=(host, (b"X-Big", b"a" * (1 << 20))))
    return found
