"""The operator page in a real browser (Debian's headless Chromium through chromedriver and Selenium):
signed in through the address zelvo-load prints, which leaves the address bar; an order placed by a
program appears; Halt with its confirmation halts, an order is then refused and the page shows it;
Resume lifts the halt. Its screenshot is docs/operator-page.png, which the README shows."""

import shutil
import tempfile
from pathlib import Path

import pytest

import zelvo
from conftest import BUILD

webdriver = pytest.importorskip("selenium.webdriver")
from selenium.webdriver.chrome.service import Service as ChromeService  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support import expected_conditions  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

DESK_LOADER_OPTIONS = ("--poll-seconds", "0.5")
# Written into the build tree, not the sources; the README's picture,
# docs/operator-page.png, is a copy of it.
SCREENSHOT = BUILD / "operator-page.png"
# Chromium as root, with nothing of its own reaching the network.
CHROMIUM_ARGUMENTS = ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                      "--disable-background-networking", "--disable-component-update", "--disable-sync",
                      "--window-size=1280,1500", "--lang=en-US")


@pytest.fixture(scope="module")
def browser():
    profile = Path(tempfile.mkdtemp(prefix="zelvo-chromium-"))
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in CHROMIUM_ARGUMENTS:
        options.add_argument(argument)
    options.add_argument(f"--user-data-dir={profile}")
    driver = webdriver.Chrome(options=options, service=ChromeService("/usr/bin/chromedriver"))
    driver.set_page_load_timeout(60)
    try:
        yield driver
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)


def wait(driver, bound=30):
    return WebDriverWait(driver, bound, poll_frequency=0.1)


def text_of(driver, element_id):
    return driver.find_element(By.ID, element_id).text


def press_and_confirm(driver, button, confirm):
    driver.find_element(By.ID, button).click()
    wait(driver).until(expected_conditions.element_to_be_clickable((By.ID, confirm))).click()


def test_an_operator_signs_in_watches_an_order_halts_and_resumes(desk, browser):
    api = desk.api()
    address = f"http://127.0.0.1:{desk.service.port}"
    browser.get(api.login_link())
    wait(browser).until(lambda driver: driver.current_url == address + "/")
    assert "code=" not in browser.current_url
    wait(browser).until(lambda driver: text_of(driver, "live") == "live")
    assert text_of(browser, "client-state") == "attached"

    placed = api.buy("600000", 10.5, 100, order_id="page-order-1")
    wait(browser).until(lambda driver: "page-order-1" in text_of(driver, "records"))
    row = [r.text for r in browser.find_elements(By.CSS_SELECTOR, "#records tbody tr") if "page-order-1" in r.text][0]
    assert "placed" in row and str(placed.contract) in row

    press_and_confirm(browser, "halt", "halt-confirm")
    wait(browser).until(lambda driver: text_of(driver, "halt-state").startswith("HALTED"))
    assert api.status()["halt"]["halted"]
    with pytest.raises(zelvo.Halted):
        api.buy("600000", 10.5, 100, order_id="page-order-2")
    wait(browser).until(lambda driver: "page-order-2 600000: halted" in text_of(driver, "events"))
    browser.find_element(By.ID, "show-positions").click()
    wait(browser).until(lambda driver: text_of(driver, "list-caption").startswith("Positions:"))
    SCREENSHOT.parent.mkdir(exist_ok=True)
    browser.save_screenshot(str(SCREENSHOT))

    press_and_confirm(browser, "resume", "resume-confirm")
    wait(browser).until(lambda driver: text_of(driver, "halt-state") == "Taking new orders")
    assert not api.status()["halt"]["halted"]
    api.buy("600000", 10.5, 100, order_id="page-order-3")
    wait(browser).until(lambda driver: "page-order-3" in text_of(driver, "records"))


def test_a_dialog_left_with_escape_changes_nothing(desk, browser):
    api = desk.api()
    browser.get(f"http://127.0.0.1:{desk.service.port}/")
    wait(browser).until(lambda driver: text_of(driver, "live") == "live")
    browser.find_element(By.ID, "halt").click()
    wait(browser).until(expected_conditions.element_to_be_clickable((By.ID, "halt-confirm")))
    browser.find_element(By.TAG_NAME, "body").send_keys("\ue00c")  # Escape
    wait(browser).until(lambda driver: not driver.find_element(By.ID, "halt-dialog").is_displayed())
    assert not api.status()["halt"]["halted"]


def test_a_browser_without_the_session_is_told_how_to_sign_in(desk, browser):
    browser.delete_all_cookies()
    browser.get(f"http://127.0.0.1:{desk.service.port}/")
    wait(browser).until(lambda driver: driver.find_element(By.ID, "signed-out").is_displayed())
    assert "zelvo-load" in text_of(browser, "signed-out")
