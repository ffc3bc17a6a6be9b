"""Steps a tester writes against a real application nobody here wrote: the
Django admin, served on loopback from tests/realapps/django_shop.

Each scenario checks the outcome on the page after its steps, so a step that
acts on the wrong element and reports success fails the scenario."""

import os
import shutil
import socket
import subprocess
import sys
import time
import urllib.request
from pathlib import Path

import pytest

from vantle import StepFailed, WebAgent

django = pytest.importorskip("django")

pytestmark = pytest.mark.browser

SITE = Path(__file__).parent / "realapps" / "django_shop"
USER, PASSWORD = "admin", "admin-pass-123"


def _free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def _wait_for(url, seconds=30):
    deadline = time.monotonic() + seconds
    while True:
        try:
            with urllib.request.urlopen(url, timeout=2) as answer:
                return answer.status
        except OSError:
            if time.monotonic() > deadline:
                raise
            time.sleep(0.2)


@pytest.fixture(scope="module")
def admin_url(tmp_path_factory):
    """Migrates and seeds a fresh database, then serves the admin on loopback."""
    site = tmp_path_factory.mktemp("django_shop")
    shutil.copytree(SITE, site, dirs_exist_ok=True)
    env = dict(os.environ, DJANGO_SETTINGS_MODULE="settings", PYTHONPATH=str(site), SHOP_DB=str(site / "shop.db"))
    django_cli = [sys.executable, "-m", "django"]
    subprocess.run(django_cli + ["migrate", "-v0"], env=env, cwd=site, check=True)
    seed = (site / "seed.py").read_text()
    subprocess.run(django_cli + ["shell", "-c", seed], env=env, cwd=site, check=True, capture_output=True)
    port = _free_port()
    server = subprocess.Popen(
        django_cli + ["runserver", f"127.0.0.1:{port}", "--noreload", "--nothreading"],
        env=env, cwd=site, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
    )
    try:
        url = f"http://127.0.0.1:{port}/admin/"
        _wait_for(url + "login/")
        yield url
    finally:
        server.terminate()
        server.wait(timeout=10)


def _sign_in(agent, admin_url):
    agent.run(f"navigate {admin_url}")
    agent.run(f'type {USER} into "Username"')
    agent.run(f'type {PASSWORD} into "Password"')
    agent.run('click "Log in"')
    agent.run('verify "Site administration" is present')


@pytest.fixture(scope="module")
def signed_in(admin_url):
    with WebAgent(screenshots=False, timeout_ms=4000) as agent:
        _sign_in(agent, admin_url)
        yield agent


@pytest.fixture
def admin(signed_in, admin_url):
    """The signed-in agent on the admin's index page."""
    signed_in.run(f"navigate {admin_url}")
    return signed_in


def _page(agent):
    return agent.page


def test_sign_in_with_enter(admin_url):
    with WebAgent(screenshots=False, timeout_ms=4000) as agent:
        agent.run(f"navigate {admin_url}")
        agent.run(f'type {USER} into "Username"')
        agent.run(f'type {PASSWORD} into "Password"')
        agent.run("press Enter")
        agent.run('verify "Site administration" is present')


def test_search_types_into_the_list_search_not_the_sidebar_filter(admin):
    admin.run('click "Products"')
    admin.run('type lamp into "Search"')
    admin.run('click "Search"')
    admin.run('verify text "Brass lamp" is present')
    admin.run('verify text "Oak chair" is not present')
    assert _page(admin).locator("#nav-filter").input_value() == ""


def test_sidebar_filter_in_a_disclosure(admin):
    admin.run('click "Products"')
    admin.run('click "No" below "By in stock"')
    admin.run('verify text "Desk lamp" is present')
    admin.run('verify text "Brass lamp" is not present')


def test_bulk_action_from_the_drop_down_in_its_label(admin):
    admin.run('click "Orders"')
    admin.run('click checkbox left of "Order 1041"')
    admin.run('select "Mark selected orders as shipped" from "Action"')
    admin.run('click "Go"')
    admin.run('verify text "1 order marked as shipped" is present')
    admin.run('click "Order 1041"')
    assert admin.run('extract text from "Status"') == "Shipped"


def test_sorting_by_a_column_header(admin):
    admin.run('click "Orders"')
    admin.run('click "Customer"')
    assert admin.run('extract text below "Customer"') == "Ann Lee"


def test_edit_form_fields_by_their_labels(admin):
    admin.run('click "Products"')
    admin.run('click "Oak chair"')
    admin.run('verify text "Change product" is present')
    admin.run('type 99.90 into "Price"')
    admin.run('select "Lamps" from "Category"')
    admin.run('click "Today"')
    admin.run('click "In stock"')
    admin.run('click "Save and continue editing"')
    admin.run('verify text "was changed successfully" is present')
    assert admin.run('extract text from "Category"') == "Lamps"
    assert admin.run('extract text right of "Category"') == "Lamps"
    assert admin.run('extract text from "Price"') == "99.90"
    assert not _page(admin).locator("#id_in_stock").is_checked()


def test_calendar_icon_and_its_shortcuts(admin):
    admin.run('click "Products"')
    admin.run('click "Folding chair"')
    admin.run('click "Choose a Date"')
    admin.run('click "Tomorrow"')
    released = _page(admin).locator("#id_released").input_value()
    assert released and released != "2025-04-10"


def test_delete_confirmation_with_a_typographic_apostrophe(admin, admin_url):
    admin.run('click "Categories"')
    admin.run('click "Add category"')
    admin.run('type Benches into "Name"')
    admin.run('click "Save"')
    admin.run('click "Benches"')
    admin.run('click "Delete"')
    admin.run("click \"Yes, I'm sure\"")
    admin.run('verify text "deleted successfully" is present')
    admin.run(f"navigate {admin_url}shop/category/")
    admin.run('verify text "Benches" is not present')


def test_a_missing_field_fails_with_the_closest_names(admin):
    admin.run('click "Products"')
    with pytest.raises(StepFailed) as failure:
        admin.run('type x into "Serial number"')
    assert "Serial number" in str(failure.value)


def test_a_related_category_added_in_the_pop_up(admin):
    # The "+" beside Category is an icon named only by its tooltip; it opens a
    # pop-up whose "Name" field namesakes the product's own, and the pop-up
    # closes itself after saving, handing the new category to the form.
    admin.run('click "Products"')
    admin.run('click "Add product"')
    admin.run('type Side table into "Name"')
    admin.run('click "Add another category"')
    admin.run('type Rugs into "Name"')
    admin.run('click "Save"')
    admin.run('verify text "Add product" is present')
    assert admin.run('extract text from "Category"') == "Rugs"
    assert _page(admin).locator("#id_name").input_value() == "Side table"
    assert len(_page(admin).context.pages) == 1
