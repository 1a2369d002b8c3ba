#!/usr/bin/env python3
"""glyphtint-serve's web page in headless Chromium: the preview follows the typing and
the options and shows glyphtint-render's strip, a palette sample inserts its code, a
shared link opens its text and options, snippets pasted elsewhere show the picture,
and hostile links stay text. Exits 77 when Chromium, its driver or Selenium is missing.
usage: web-page.py BIN_DIR [--screenshot PNG]
(PNG's folder also gets web-page-options.png, web-page-options-dark.png and web-page-compare.png)"""
import base64
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from servetest import FAILURES, Server, check  # noqa: E402

try:
    from selenium import webdriver
    from selenium.common.exceptions import NoAlertPresentException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
    from selenium.webdriver.support.ui import Select, WebDriverWait
except ImportError:
    sys.exit(77)

BIN = sys.argv[1]
SCREENSHOT = sys.argv[3] if sys.argv[2:3] == ["--screenshot"] else None
CHROMIUM, DRIVER = shutil.which("chromium"), shutil.which("chromedriver")
if not CHROMIUM or not DRIVER:
    sys.exit(77)
SCRATCH = tempfile.mkdtemp()


def strip_of(text, *options):
    out = os.path.join(SCRATCH, "strip.png")
    subprocess.run([os.path.join(BIN, "glyphtint-render"), *options, "--strip", out, text], check=True)
    with open(out, "rb") as f:
        return f.read()


def shown_strip(driver, query):
    """The bytes of the preview once it shows the strip of query, as the page holds them
    (the script's `shown`: a blob: address cannot be fetched under the page's policy)."""
    WebDriverWait(driver, 30).until(lambda d: d.execute_script(
        "const s = document.getElementById('strip');"
        "return !s.hidden && s.complete && s.naturalWidth > 0 &&"
        " document.getElementById('download-strip').href.endsWith(arguments[0]);", query))
    data = driver.execute_async_script(
        "const done = arguments[0]; const s = document.getElementById('strip');"
        "shown.blob.arrayBuffer().then(b => {"
        "  let t = ''; for (const x of new Uint8Array(b)) t += String.fromCharCode(x); done(btoa(t)); },"
        " e => done('!' + e + ' ' + s.src));")
    if data.startswith("!"):
        raise RuntimeError(data)
    return base64.b64decode(data)


def elements(driver):
    return driver.execute_script("return Array.from(document.querySelectorAll('*'), e => e.tagName).join(' ')")


server = Server(BIN)
driver = None
try:
    base = "http://127.0.0.1:%d" % server.port
    connection = server.connection()
    for path, kind in (("/?text=%3Cb%3E", "text/html"), ("/page.css", "text/css"), ("/page.js", "text/javascript")):
        connection.request("GET", path)
        answer = connection.getresponse()
        body = answer.read()
        check(answer.getheader("Content-Type").startswith(kind), path + "'s type")
        tag = answer.getheader("ETag")
        connection.request("GET", path, headers={"If-None-Match": tag})
        again = connection.getresponse()
        again.read()
        check(again.status == 304, path + " revalidated with its ETag")
    check(b"<b>" not in body and answer.getheader("X-Content-Type-Options") == "nosniff", "nosniff")
    connection.request("GET", "/")
    answer = connection.getresponse()
    answer.read()
    policy = answer.getheader("Content-Security-Policy") or ""
    check("default-src 'self'" in policy and "frame-ancestors 'none'" in policy and "object-src 'none'" in policy and
          "require-trusted-types-for 'script'" in policy and "unsafe" not in policy and
          answer.getheader("Referrer-Policy") == "no-referrer", "the page's policy: %r" % policy)
    connection.request("GET", "/colours.json")
    samples = sum(len(palette) for palette in json.loads(connection.getresponse().read())["palettes"])

    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ("--headless=new", "--no-sandbox", "--window-size=900,600", "--disable-dev-shm-usage"):
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service(executable_path=DRIVER), options=options)

    def open_page(query):
        driver.get(base + "/" + query)
        WebDriverWait(driver, 30).until(lambda d: len(d.find_elements(By.CSS_SELECTOR, "#palettes img")) == samples and
                                        d.execute_script("return Array.from(document.querySelectorAll("
                                                         "'#palettes img'), i => i.complete).every(c => c)"))
        return driver.find_element(By.ID, "text")

    # Typing: a burst of five keys asks about the text once or twice, not five times.
    box = open_page("")
    plain_page = elements(driver)
    entries_before = driver.execute_script("return performance.getEntriesByType('resource').length")
    box.send_keys("^1m00")
    check(shown_strip(driver, "?text=%5E1m00") == strip_of("^1m00"), "the preview of ^1m00 is the CLI's strip")
    asked = driver.execute_script("return performance.getEntriesByType('resource').slice(arguments[0])"
                                  ".filter(e => e.name.includes('/info.json')).length", entries_before)
    check(1 <= asked <= 2, "texts asked about while typing five keys: %d" % asked)
    check(driver.current_url == base + "/?text=%5E1m00", "the address follows the text: " + driver.current_url)
    check(driver.find_element(By.ID, "lengths").text == "5 bytes \u00b7 3 shown", "the lengths")
    check(driver.find_element(By.ID, "strip").get_attribute("alt") == "m00 in red", "the picture told in words")

    # Each palette is one Tab stop, and the arrow keys go along it.
    stops = driver.find_elements(By.CSS_SELECTOR, "#palettes button[tabindex='0']")
    check(len(stops) == 2, "palette Tab stops: %d" % len(stops))
    stops[0].send_keys(Keys.ARROW_RIGHT)
    check(driver.switch_to.active_element.get_attribute("aria-label") == "^2 lime", "Right moves to the next sample")

    # A sample goes in at the cursor, and the focus stays in the box.
    box.send_keys(Keys.HOME)
    driver.find_element(By.CSS_SELECTOR, "button[aria-label='^4 blue']").click()
    state = driver.execute_script("const b = document.getElementById('text');"
                                  "return [b.value, b.selectionStart, document.activeElement === b];")
    check(state == ["^4^1m00", 2, True], "a palette click: %r" % state)

    shown_strip(driver, "?text=%5E4%5E1m00")
    check(driver.find_element(By.ID, "download-strip").get_attribute("download") == "m00.png", "the download's name")

    # Codes alone, and nothing at all, are a quiet hint with nothing to copy or keep.
    for typed in ("^1", ""):
        box.send_keys(Keys.CONTROL, "a")
        box.send_keys(typed or Keys.DELETE)
        WebDriverWait(driver, 30).until(lambda d: d.find_element(By.ID, "message").is_displayed())
        state = driver.execute_script(
            "return [document.getElementById('message').className, document.getElementById('strip').hidden,"
            " document.getElementById('download-strip').hasAttribute('href'),"
            " Array.from(document.querySelectorAll('#copy, #snippets button'), b => b.disabled)];")
        check(state[:3] == ["hint", True, False] and all(state[3]), "the state of %r: %r" % (typed, state))

    open_page("?text=caf%C3%A9")
    lengths = WebDriverWait(driver, 30).until(lambda d: d.find_element(By.ID, "lengths").text.strip())
    check(lengths == "5 bytes \u00b7 3 shown \u00b7 1 character is not drawn: \u00e9", "the lengths of caf\u00e9")
    box = open_page("?text=%5E2Hi")
    check(box.get_attribute("value") == "^2Hi", "a shared link's text")
    check(shown_strip(driver, "?text=%5E2Hi") == strip_of("^2Hi"), "a shared link's preview")

    # A strip wider than the panel scrolls from its beginning: none of it is out of reach.
    wide = "?text=" + "a" * 300
    open_page(wide)
    shown_strip(driver, wide)
    check(driver.execute_script("const p = document.getElementById('preview');"
                                "return document.getElementById('strip').getBoundingClientRect().left >="
                                " p.getBoundingClientRect().left;"), "the beginning of a wide strip is cut off")

    for hostile in ("<script>alert(1)</script>", '"><img src=x onerror=alert(1)>'):
        box = open_page("?text=" + urllib.parse.quote(hostile))
        check(box.get_attribute("value") == hostile, "a hostile link's text: %r" % box.get_attribute("value"))
        WebDriverWait(driver, 30).until(lambda d: d.find_element(By.ID, "lengths").text.strip())
        try:
            driver.switch_to.alert.dismiss()
            check(False, "an alert from " + hostile)
        except NoAlertPresentException:
            pass
        check(elements(driver) == plain_page, "elements of the page after " + hostile)

    # Every option changes the address and the preview, and a shared address brings it back.
    dark, light = "#1e1e1e", "#ffffff"
    cases = (("scale", "3", "&scale=3", ["--scale", "3"]),
             ("background", dark, "&scale=3&background=%231e1e1e", ["--scale", "3", "--background", dark]),
             ("background", "transparent", "&scale=3&background=transparent",
              ["--scale", "3", "--background", "transparent"]),
             ("min-contrast", "4.5", "&scale=3&background=transparent&page=%231e1e1e&min-contrast=4.5",
              ["--scale", "3", "--background", "transparent", "--page", dark, "--min-contrast", "4.5"]),
             ("page", light, "&scale=3&background=transparent&page=%23ffffff&min-contrast=4.5",
              ["--scale", "3", "--background", "transparent", "--page", light, "--min-contrast", "4.5"]))
    box = open_page("?text=%5E1m00+%5E7Hi")
    for name, value, query, options in cases:
        Select(driver.find_element(By.ID, "option-" + name)).select_by_value(value)
        query = "?text=%5E1m00+%5E7Hi" + query
        check(shown_strip(driver, query) == strip_of("^1m00 ^7Hi", *options), "the preview with %s=%s" % (name, value))
        check(driver.current_url == base + "/" + query, "the address with %s=%s: %s" % (name, value, driver.current_url))
    under = driver.execute_script("return getComputedStyle(document.getElementById('preview')).backgroundColor")
    check(under == "rgb(255, 255, 255)", "the preview stands on the page checked: " + under)
    check(not driver.find_element(By.CSS_SELECTOR, "#option-page option[value='']").is_enabled(),
          "legible colours on a transparent strip measured against a checkerboard")
    shared = driver.current_url
    box = open_page(shared[len(base) + 1:])
    check(shown_strip(driver, shared[len(base) + 1:]) == strip_of("^1m00 ^7Hi", *cases[-1][3]),
          "a shared address's options")
    # Any colour, given with or without its '#', is the colour picker's.
    open_page("?text=Hi&background=3a5f0b")
    check(shown_strip(driver, "?text=Hi&background=%233a5f0b") == strip_of("Hi", "--background", "#3a5f0b") and
          driver.find_element(By.CSS_SELECTOR, "#option-background + input").get_attribute("value") == "#3a5f0b",
          "a background of any colour")

    # Snippets: absolute from the public address when the page names one, else from the
    # page's own; each pasted into another page shows the preview's picture, the <picture>
    # one the dark or the light version as the reader's page prefers.
    box = open_page("?text=%5E1m00&scale=2")
    picture = shown_strip(driver, "?text=%5E1m00&scale=2")
    check(driver.find_element(By.ID, "embed-note").is_displayed(), "the note on snippets without a public address")
    check(driver.find_element(By.ID, "snippet-address").text == base + "/strip.png?text=%5E1m00&scale=2",
          "the address snippet")
    check(driver.execute_script("return document.querySelector('meta[name=\"glyphtint:public-url\"]').content")
          == "", "the page's public address without --public-url")
    driver.execute_script("document.querySelector('meta[name=\"glyphtint:public-url\"]').content = arguments[0] + '/';",
                          base)
    Select(driver.find_element(By.ID, "option-min-contrast")).select_by_value("3")
    picture = shown_strip(driver, "?text=%5E1m00&scale=2&min-contrast=3")
    check(not driver.find_element(By.ID, "embed-note").is_displayed(), "the note with a public address")
    driver.execute_cdp_cmd("Browser.grantPermissions", {"origin": base, "permissions": ["clipboardReadWrite",
                                                                                        "clipboardSanitizedWrite"]})
    snippets = {}
    for name in ("address", "html", "picture", "bbcode", "markdown"):
        driver.find_element(By.CSS_SELECTOR, "#snippet-%s + button" % name).click()
        snippets[name] = driver.execute_async_script(
            "navigator.clipboard.readText().then(arguments[0], e => arguments[0]('unread: ' + e))")
        check(snippets[name] == driver.find_element(By.ID, "snippet-" + name).text, name + " snippet copied")
    address = snippets["address"]
    check(snippets["bbcode"] == "[img]%s[/img]" % address and snippets["markdown"] == "![m00 in red](%s)" % address,
          "the BBCode and Markdown snippets: %r" % snippets)
    connection = server.connection()
    connection.request("GET", address[len(base):])
    check(connection.getresponse().read() == picture, "the snippets' address is the preview's picture")
    pasted = os.path.join(SCRATCH, "pasted.html")
    with open(pasted, "w") as f:
        f.write("<!DOCTYPE html><body>%s %s</body>" % (snippets["html"], snippets["picture"]))
    shown_there = ("return Array.from(document.images, i => [i.complete && i.naturalWidth > 0, i.currentSrc,"
                   " i.naturalWidth, i.width]);")
    for scheme, page in (("dark", "%231e1e1e"), ("light", "%23ffffff")):
        driver.execute_cdp_cmd("Emulation.setEmulatedMedia",
                               {"features": [{"name": "prefers-color-scheme", "value": scheme}]})
        driver.get("file://" + pasted)
        WebDriverWait(driver, 30).until(lambda d: all(i[0] for i in d.execute_script(shown_there)))
        img, pictured = driver.execute_script(shown_there)
        check(img[1] == address and img[2] == img[3], "the pasted <img>: %r" % img)
        check(pictured[1] == address.replace("&min-contrast=3", "&background=transparent&page=%s&min-contrast=3" % page)
              and pictured[2] == img[2], "the pasted <picture> on a %s page: %r" % (scheme, pictured))
    driver.execute_cdp_cmd("Emulation.setEmulatedMedia",
                           {"media": "", "features": [{"name": "prefers-color-scheme", "value": ""}]})

    # A strip the service refuses is asked for once, and its words shown.
    huge = "W" * 1500
    box = open_page("?scale=8&text=" + huge)
    WebDriverWait(driver, 30).until(lambda d: d.find_element(By.ID, "message").is_displayed())
    asked = driver.execute_script("return performance.getEntriesByType('resource')"
                                  ".filter(e => e.name.includes('/strip.png?text=WWW')).length")
    check("larger than this service draws" in driver.find_element(By.ID, "message").text and asked == 1,
          "a refused strip, asked for %d times" % asked)

    # Half a surrogate pair: said, and nothing asked for or offered to copy.
    driver.execute_script("const b = document.getElementById('text'); b.value = 'm\\ud800';"
                          "b.dispatchEvent(new Event('input'));")
    WebDriverWait(driver, 30).until(lambda d: "broken character" in d.find_element(By.ID, "message").text)
    check(not driver.find_element(By.ID, "copy").is_enabled() and not driver.execute_script(
        "return performance.getEntriesByType('resource').some(e => e.name.includes('null'))"), "a broken text")

    # No string becomes markup on the page: its policy makes an HTML sink throw.
    thrown = driver.execute_script("try { document.getElementById('lengths').innerHTML = '<b>x</b>'; return ''; }"
                                   " catch (e) { return e.name; }")
    check(thrown == "TypeError" and not driver.find_elements(By.CSS_SELECTOR, "#lengths b"),
          "an innerHTML string on the page: %r" % thrown)

    # The game chooser: the preview and the lengths read the text as the game does.
    connection = server.connection()
    connection.request("GET", "/games.json")
    games = json.loads(connection.getresponse().read())
    open_page("?text=%5E8m00")
    Select(driver.find_element(By.ID, "option-game")).select_by_value("quake3")
    check(shown_strip(driver, "?text=%5E8m00&game=quake3") == strip_of("^8m00", "--game", "quake3"),
          "the preview in Quake III")
    check(driver.current_url == base + "/?text=%5E8m00&game=quake3", "the address with a game")
    connection.request("GET", "/colours.json?game=quake3")
    quake_samples = sum(len(palette) for palette in json.loads(connection.getresponse().read())["palettes"])
    WebDriverWait(driver, 30).until(lambda d: len(d.find_elements(By.CSS_SELECTOR, "#palettes img")) == quake_samples)
    check(quake_samples != samples and "game=quake3" in driver.find_element(By.CSS_SELECTOR, "#palettes img")
          .get_attribute("src"), "the palettes follow the game")

    # Side by side: a row for every game, each drawing the text its way and telling the
    # bytes against its limit, over it in words.
    def compared(query):
        open_page(query)
        WebDriverWait(driver, 30).until(lambda d: d.execute_script(
            "const rows = document.querySelectorAll('.compare-row');"
            "return rows.length === arguments[0] && Array.from(document.querySelectorAll('.compare-row img'),"
            " i => i.complete && i.naturalWidth > 0).every(c => c);", len(games)))
        return driver.execute_script(
            "return Array.from(document.querySelectorAll('.compare-row'), r => {"
            "  const i = r.querySelector('img'), c = document.createElement('canvas');"
            "  c.width = i.naturalWidth; c.height = i.naturalHeight; const g = c.getContext('2d');"
            "  g.drawImage(i, 0, 0);"
            "  return [r.dataset.game, r.querySelector('.compare-length').textContent,"
            "          Array.from(g.getImageData(0, 0, c.width, c.height).data).join()]; });")
    rows = compared("?text=%5E8m00&compare=1")
    check([row[0] for row in rows] == [game["id"] for game in games], "the games compared: %r" % [r[0] for r in rows])
    check(len({row[2] for row in rows}) >= 2, "^8 drawn alike in every game")
    check(driver.current_url == base + "/?text=%5E8m00&compare=1", "the address of the comparison")
    long_name = "^1" * 16 + "m00"  # 35 bytes, 3 shown: past byte limits only
    for game, (_, length, _) in zip(games, compared("?compare=1&text=" + urllib.parse.quote(long_name))):
        over = game["limit"] is not None and game["limit"] < len(long_name)
        check(length.endswith("over the limit") == over, "%s's length of %d bytes: %r" % (game["id"], len(long_name), length))

    if SCREENSHOT:
        # The page as typed into, then with options in a light and a dark browser, beside it.
        box = open_page("")
        box.send_keys("^1m00 ^7says ^4Hi")
        shown_strip(driver, "?text=%5E1m00+%5E7says+%5E4Hi")
        driver.save_screenshot(SCREENSHOT)
        driver.set_window_size(900, 1150)
        stem = os.path.join(os.path.dirname(SCREENSHOT), "web-page-options")
        for scheme, query in (("light", "?text=%5E1m00+%5E7says+%5E4Hi&scale=2&background=transparent&page=%23ffffff"
                                        "&min-contrast=4.5"),
                              ("dark", "?text=%5E1m00+%5E7says+%5E4Hi&scale=2&background=%231e1e1e")):
            driver.execute_cdp_cmd("Emulation.setEmulatedMedia",
                                   {"features": [{"name": "prefers-color-scheme", "value": scheme}]})
            open_page(query)
            shown_strip(driver, query)
            driver.save_screenshot(stem + ("-dark.png" if scheme == "dark" else ".png"))
        driver.execute_cdp_cmd("Emulation.setEmulatedMedia",
                               {"media": "", "features": [{"name": "prefers-color-scheme", "value": ""}]})
        driver.set_window_size(1000, 1150)
        compared("?text=%5E8Hot%5E9Dog%5Ea%5E%23FF8000%5ExF80%21&compare=1")
        driver.save_screenshot(os.path.join(os.path.dirname(SCREENSHOT), "web-page-compare.png"))
finally:
    if driver:
        driver.quit()
    server.stop()
    shutil.rmtree(SCRATCH, ignore_errors=True)
print("%d failed" % len(FAILURES))
sys.exit(1 if FAILURES else 0)
