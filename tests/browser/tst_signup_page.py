#!/usr/bin/env python3
"""The sign-up page in headless Chromium, against the real service on a copy of a server folder.

Usage: tst_signup_page.py KELTO_REGISTER DEMO_FOLDER [--screenshots FOLDER]
Exits 77 (skipped) where Selenium or Chromium is missing or cannot start.
"""
import base64
import contextlib
import os
import re
import shutil
import subprocess
import sys
import tempfile

SKIPPED = 77
try:
    from selenium import webdriver
    from selenium.common.exceptions import WebDriverException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    print("tst_signup_page: skipped, python3-selenium is not installed")
    sys.exit(SKIPPED)


@contextlib.contextmanager
def service(program, demo, *options):
    """Yields the page's address and the account file of a throwaway server folder."""
    folder = tempfile.mkdtemp(prefix="kelto-page-")
    shutil.copytree(os.path.join(demo, "kData"), os.path.join(folder, "kData"))
    process = subprocess.Popen([program, "--app-dir", folder, "--listen", "127.0.0.1:0",
                                "--per-address-per-hour", "0", *options],
                               stdout=subprocess.PIPE, text=True)
    try:
        line = process.stdout.readline()
        address = re.search(r"http://\S+?/", line)
        expect(bool(address), True, f"the service's address in {line!r}")
        yield address.group(0), os.path.join(folder, "kData", "kPlayer", "kAdd.txt")
    finally:
        process.terminate()
        code = process.wait(timeout=15)
        shutil.rmtree(folder)
    expect(code, 0, "the service's exit code after SIGTERM")


def browser(javascript=True):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--window-size=720,960", "--lang=en-US"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    if not javascript:
        options.add_experimental_option(
            "prefs", {"profile.managed_default_content_settings.javascript": 2})
    try:
        return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    except WebDriverException as error:
        print(f"tst_signup_page: skipped, Chromium cannot start: {error.msg}".strip())
        sys.exit(SKIPPED)


def expect(actual, wanted, what):
    if actual != wanted:
        raise AssertionError(f"{what}: got {actual!r}, wanted {wanted!r}")


def fill(driver, username, password, repeat=None, email="", gender="male"):
    for name, value in (("username", username), ("password", password),
                        ("password2", password if repeat is None else repeat), ("email", email)):
        field = driver.find_element(By.NAME, name)
        field.clear()
        field.send_keys(value)
    driver.find_element(By.CSS_SELECTOR, f"input[value={gender}]").click()
    driver.find_element(By.CSS_SELECTOR, "button[type=submit]").click()


def answer(driver):
    """The in-place answer, once the page has one (the form clears the class while it works)."""
    region = driver.find_element(By.ID, "answer")
    WebDriverWait(driver, 120).until(lambda _: region.get_attribute("class") in ("done", "error"))
    return region.text


def focused(driver):
    return driver.switch_to.active_element.get_attribute("id")


def shoot(driver, folder, name):
    """The page down to the end of its card, in a window tall enough to need no scroll bar."""
    if folder:
        driver.set_window_size(720, 1400)
        card = driver.find_element(By.TAG_NAME, "main").rect
        width = driver.find_element(By.TAG_NAME, "html").rect["width"]
        shot = driver.execute_cdp_cmd("Page.captureScreenshot", {"clip": {
            "x": 0, "y": 0, "width": width, "height": card["y"] + card["height"] + 32, "scale": 1}})
        with open(os.path.join(folder, name), "wb") as file:
            file.write(base64.b64decode(shot["data"]))


def account_lines(path, skip):
    with open(path, "rb") as file:
        return file.read().split(b"\r\n")[skip:-1]


def main(program, demo, screenshots=None):
    with browser() as on, browser(javascript=False) as off:
        with service(program, demo) as (url, accounts):
            old = len(account_lines(accounts, 0))
            on.get(url)
            fill(on, "Tamsin", "moonlit9", email="tamsin@example.org", gender="female")
            expect(answer(on), "Your account Tamsin is ready.", "answer to a new account")
            expect(on.find_element(By.ID, "username").get_attribute("value"), "",
                   "form after success")
            shoot(on, screenshots, "signup-page.png")
            fill(on, "TAMSIN", "other99")
            expect(answer(on), "Username exist", "answer to a taken name in other letters")
            expect((focused(on), on.find_element(By.ID, "username").get_attribute("value")),
                   ("username", "TAMSIN"), "focus and entry after a taken name")
            fill(on, "Rowan", "secret1", repeat="secret2")
            expect(answer(on), "Passwords do not match", "answer to a mismatch")
            expect((focused(on), on.find_element(By.ID, "password2-hint").text),
                   ("password2", "Passwords do not match"), "focus and hint after a mismatch")
            expect(account_lines(accounts, old), [b"Tamsin,moonlit9,0,tamsin@example.org,0"],
                   "lines added with JavaScript on")

            off.get(url)
            expect(off.find_element(By.CLASS_NAME, "needs-script").is_displayed(), False,
                   "the JavaScript notice without a proof of work")
            fill(off, "Wren", "ember77")
            WebDriverWait(off, 30).until(lambda driver: driver.title != "Create your account")
            expect((off.title, off.find_element(By.TAG_NAME, "h1").text,
                    off.find_element(By.CSS_SELECTOR, "[role=status]").text,
                    off.find_element(By.LINK_TEXT, "Back to the sign-up page")
                    .get_attribute("href")),
                   ("Account created", "Account created", "Your account Wren is ready.", url),
                   "result page without JavaScript")
            expect(account_lines(accounts, old + 1), [b"Wren,ember77,1,none,0"],
                   "line added without JavaScript")
            shoot(off, screenshots, "signup-result.png")

        with service(program, demo, "--proof-of-work", "12") as (url, accounts):
            on.get(url)
            # Two in a row: the second needs the fresh challenge the first answer brought.
            for name in ("Ashby", "Corin"):
                fill(on, name, "lantern5")
                expect(answer(on), f"Your account {name} is ready.", "answer with a proof of work")
            off.get(url)
            expect(off.find_element(By.CLASS_NAME, "needs-script").is_displayed(), True,
                   "the JavaScript notice with a proof of work")

        for driver in (on, off):
            refused = [entry["message"] for entry in driver.get_log("browser")
                       if "Content Security Policy" in entry["message"]]
            expect(refused, [], "Content Security Policy reports in the console")
    print("tst_signup_page: passed")


if __name__ == "__main__":
    arguments = sys.argv[1:]
    shots = None
    if "--screenshots" in arguments:
        at = arguments.index("--screenshots")
        shots = arguments.pop(at + 1)
        arguments.pop(at)
    if len(arguments) != 2:
        sys.exit(__doc__)
    main(*arguments, screenshots=shots)
