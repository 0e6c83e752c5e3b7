#!/usr/bin/env python3
"""Draws the client's icon set: SVG on a 24-unit grid (2-unit stroke, round caps), written
under image/<area>/. Run once after changing a shape; the SVGs are committed."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
ACCENT = "#2f6bff"
ACCENT_DARK = "#1f55d6"
INK = "#4e5969"
INK_HOVER = "#1f2329"
MUTED = "#86909c"
DANGER = "#f04438"
WHITE = "#ffffff"


def svg(body, size=24, view=24):
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d" '
            'fill="none" stroke-linecap="round" stroke-linejoin="round">%s</svg>\n'
            % (size, size, view, view, body))


def stroke(d, color, width=2):
    return '<path d="%s" stroke="%s" stroke-width="%s"/>' % (d, color, width)


def write(area, name, text):
    folder = os.path.join(HERE, "image", area)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "w") as f:
        f.write(text)


def states(area, base, draw, colors=(INK, INK_HOVER, ACCENT_DARK), size=24,
           names=("normal", "hover", "pressed")):
    for state, color in zip(names, colors):
        write(area, "%s_%s.svg" % (base, state), svg(draw(color), size))


# --- title bar buttons (all windows) -------------------------------------------------------
MIN = lambda c: stroke("M7 12h10", c, 1.5)
MAX = lambda c: '<rect x="7" y="7" width="10" height="10" rx="1.5" stroke="%s" stroke-width="1.5"/>' % c
RESTORE = lambda c: ('<rect x="6.5" y="9.5" width="8" height="8" rx="1.5" stroke="%s" stroke-width="1.5"/>'
                     '<path d="M9.5 6.5h6.5a1.5 1.5 0 0 1 1.5 1.5v6.5" stroke="%s" stroke-width="1.5"/>' % (c, c))
CLOSE = lambda c: stroke("M7.5 7.5l9 9M16.5 7.5l-9 9", c, 1.5)
for name, draw in (("minimum", MIN), ("maximum", MAX), ("restore", RESTORE), ("close", CLOSE)):
    states("common", "icon_" + name, draw, (INK, INK_HOVER, INK_HOVER))
    # White variants for dark backgrounds ("WhiteBackground" property).
    write("common", "icon_%s_white.svg" % name, svg(draw(WHITE)))
write("common", "icon_close_hover_white.svg", svg(CLOSE(WHITE)))

# --- message box and toast -----------------------------------------------------------------
INFO_CIRCLE = ('<circle cx="12" cy="12" r="10" fill="%s"/>' % ACCENT +
               stroke("M12 11v6", WHITE) + '<circle cx="12" cy="7.5" r="1.25" fill="%s"/>' % WHITE)
WARN_CIRCLE = ('<circle cx="12" cy="12" r="10" fill="#ff8a00"/>' +
               stroke("M12 7v6", WHITE) + '<circle cx="12" cy="16.5" r="1.25" fill="%s"/>' % WHITE)
write("common", "icon_info.svg", svg(INFO_CIRCLE, 48))
write("common", "icon_warning.svg", svg(WARN_CIRCLE, 48))
write("common", "icon_toast_info.svg", svg(INFO_CIRCLE, 16))
write("common", "icon_toast_warning.svg", svg(WARN_CIRCLE, 16))
write("common", "icon_notice.svg", svg(
    '<circle cx="12" cy="12" r="9" stroke="%s" stroke-width="1.8"/>' % MUTED +
    stroke("M12 11v5", MUTED, 1.8) + '<circle cx="12" cy="7.8" r="1.1" fill="%s"/>' % MUTED, 16))
write("common", "icon_selected.svg", svg(
    '<circle cx="12" cy="12" r="10" fill="%s"/>' % ACCENT + stroke("M7.5 12.5l3 3 6-6.5", WHITE), 16))

# --- form controls ------------------------------------------------------------------------
write("common", "icon_arrow_down.svg", svg(stroke("M7 10l5 5 5-5", MUTED, 1.8), 16))
write("common", "icon_arrow_down_disabled.svg", svg(stroke("M7 10l5 5 5-5", "#c9cdd4", 1.8), 16))
write("common", "icon_arrow_up.svg", svg(stroke("M7 14l5-5 5 5", MUTED, 1.8), 16))
write("common", "icon_checkbox_checked.svg", svg(
    '<rect x="3" y="3" width="18" height="18" rx="4" fill="%s"/>' % ACCENT +
    stroke("M7.5 12.5l3 3 6-6.5", WHITE, 2.2), 16))
write("common", "icon_checkbox_checked_disabled.svg", svg(
    '<rect x="3" y="3" width="18" height="18" rx="4" fill="#a9c0ff"/>' +
    stroke("M7.5 12.5l3 3 6-6.5", WHITE, 2.2), 16))
write("common", "icon_radio_checked.svg", svg(
    '<circle cx="12" cy="12" r="9" fill="%s" stroke="%s" stroke-width="2"/>' % (WHITE, ACCENT) +
    '<circle cx="12" cy="12" r="4.5" fill="%s"/>' % ACCENT, 16))
write("common", "icon_radio_checked_disabled.svg", svg(
    '<circle cx="12" cy="12" r="9" fill="%s" stroke="#a9c0ff" stroke-width="2"/>' % WHITE +
    '<circle cx="12" cy="12" r="4.5" fill="#a9c0ff"/>', 16))
write("common", "icon_default_video_thumbs.svg", svg(
    '<rect width="160" height="90" rx="6" fill="#eef2fb"/>'
    '<circle cx="80" cy="45" r="18" fill="#d5def5"/>'
    '<path d="M74 36v18l15-9z" fill="%s"/>' % WHITE, 160, 160).replace(
        'viewBox="0 0 160 160"', 'viewBox="0 0 160 90"').replace('height="160"', 'height="90"'))

# --- login ---------------------------------------------------------------------------------
EYE_OPEN = lambda c: (stroke("M2.5 12s3.5-6.5 9.5-6.5 9.5 6.5 9.5 6.5-3.5 6.5-9.5 6.5S2.5 12 2.5 12z", c, 1.6)
                      + '<circle cx="12" cy="12" r="3" stroke="%s" stroke-width="1.6"/>' % c)
EYE_CLOSED = lambda c: (stroke("M3 10c2.2 3.2 5.3 5 9 5s6.8-1.8 9-5", c, 1.6) +
                        stroke("M6.2 13.6l-1.8 2.4M12 15v3M17.8 13.6l1.8 2.4", c, 1.6))
states("login", "icon_eye_open", EYE_OPEN, (MUTED, INK, ACCENT))
states("login", "icon_eye_close", EYE_CLOSED, (MUTED, INK, ACCENT))
write("login", "icon_delete_account.svg", svg(stroke("M6 6l12 12M18 6L6 18", MUTED, 2.5), 8))
write("login", "icon_delete_account_hover.svg", svg(stroke("M6 6l12 12M18 6L6 18", DANGER, 2.5), 8))
write("login", "icon_account.svg", svg(
    '<circle cx="12" cy="8.5" r="3.8" stroke="%s" stroke-width="1.6"/>' % MUTED +
    stroke("M4.5 20c.8-3.6 3.8-6 7.5-6s6.7 2.4 7.5 6", MUTED, 1.6), 16))
write("login", "icon_password.svg", svg(
    '<rect x="4.5" y="10.5" width="15" height="10" rx="2.5" stroke="%s" stroke-width="1.6"/>' % MUTED +
    stroke("M8 10.5V8a4 4 0 0 1 8 0v2.5", MUTED, 1.6) + stroke("M12 14.5v2", MUTED, 1.6), 16))
write("login", "icon_network.svg", svg(
    '<circle cx="12" cy="12" r="9" stroke="%s" stroke-width="1.6"/>' % MUTED +
    stroke("M3 12h18M12 3c2.6 2.6 3.8 5.6 3.8 9s-1.2 6.4-3.8 9M12 3C9.4 5.6 8.2 8.6 8.2 12s1.2 6.4 3.8 9", MUTED, 1.6), 16))
# The logo: a rounded tile with an upward arrow over a stroke (upload into the library).
LOGO = ('<defs><linearGradient id="g" x1="0" y1="0" x2="1" y2="1">'
        '<stop offset="0" stop-color="#4c84ff"/><stop offset="1" stop-color="#1f55d6"/>'
        '</linearGradient></defs>'
        '<rect x="2" y="2" width="44" height="44" rx="12" fill="url(#g)"/>'
        '<path d="M24 33V15M16.5 22.5L24 15l7.5 7.5" stroke="#fff" stroke-width="4"/>'
        '<path d="M15 36h18" stroke="#fff" stroke-width="3.2" opacity=".7"/>')
write("login", "logo.svg", svg(LOGO, 64, 48))
write("about", "logo.svg", svg(LOGO, 72, 48))
write("MainTitlebar", "logo.svg", svg(LOGO, 28, 48))

# --- main title bar ------------------------------------------------------------------------
VIDEO_LIST = lambda c: ('<rect x="3" y="5" width="18" height="14" rx="3" stroke="%s" stroke-width="1.8"/>' % c +
                        '<path d="M10.5 9.5v5l4.3-2.5z" fill="%s" stroke="%s" stroke-width="1.2"/>' % (c, c))
TRANSFER = lambda c: stroke("M8 19V6M4.5 9.5L8 6l3.5 3.5M16 5v13M12.5 14.5L16 18l3.5-3.5", c, 1.8)
ACCOUNT = lambda c: ('<circle cx="12" cy="12" r="9.2" stroke="%s" stroke-width="1.6"/>' % c +
                     '<circle cx="12" cy="10" r="3.2" stroke="%s" stroke-width="1.6"/>' % c +
                     stroke("M6.4 18.6c1.2-2.3 3.2-3.5 5.6-3.5s4.4 1.2 5.6 3.5", c, 1.6))
FEEDBACK = lambda c: (stroke("M4 6.5A2.5 2.5 0 0 1 6.5 4h11A2.5 2.5 0 0 1 20 6.5v8a2.5 2.5 0 0 1-2.5 2.5H11l-4.5 3.5V17A2.5 2.5 0 0 1 4 14.5z", c, 1.6)
                      + stroke("M8.5 9h7M8.5 12.5h4.5", c, 1.6))
SETTINGS = lambda c: ('<circle cx="12" cy="12" r="3" stroke="%s" stroke-width="1.6"/>' % c +
                      stroke("M12 2.8l1.6 2.3 2.7-.6.6 2.7 2.3 1.6-1.3 2.4 1.3 2.4-2.3 1.6-.6 2.7-2.7-.6L12 21.2l-1.6-2.3-2.7.6-.6-2.7-2.3-1.6L6.1 12 4.8 9.6 7.1 8l.6-2.7 2.7.6z", c, 1.6))
for name, draw in (("videolist", VIDEO_LIST), ("transferlist", TRANSFER), ("account", ACCOUNT),
                   ("feedback", FEEDBACK), ("settings", SETTINGS)):
    states("MainTitlebar", "icon_" + name, draw, (INK, INK_HOVER, ACCENT))
    write("MainTitlebar", "icon_%s_checked.svg" % name, svg(draw(ACCENT)))

# --- update --------------------------------------------------------------------------------
write("update", "icon_update.svg", svg(
    '<circle cx="24" cy="24" r="22" fill="#eaf0ff"/>'
    '<path d="M24 33V15M16.5 22.5L24 15l7.5 7.5" stroke="%s" stroke-width="3.4"/>' % ACCENT, 56, 48))
write("update", "icon_up_to_date.svg", svg(
    '<circle cx="24" cy="24" r="22" fill="#e8f7ee"/>'
    '<path d="M15 24.5l6.5 6.5L33.5 18" stroke="#12b76a" stroke-width="3.4"/>', 56, 48))
write("update", "icon_check_failed.svg", svg(
    '<circle cx="24" cy="24" r="22" fill="#fdecec"/>'
    '<path d="M24 14v12" stroke="%s" stroke-width="3.4"/><circle cx="24" cy="33" r="2.2" fill="%s"/>'
    % (DANGER, DANGER), 56, 48))

# --- video list and transfer list (used by the pages) ---------------------------------------
CLEAR = lambda c: ('<circle cx="12" cy="12" r="9" fill="%s"/>' % c + stroke("M9 9l6 6M15 9l-6 6", WHITE, 1.8))
states("videoList", "icon_lineedit_clear", CLEAR, ("#c9cdd4", MUTED, INK), 16)
SEARCH = lambda c: ('<circle cx="11" cy="11" r="6.5" stroke="%s" stroke-width="1.8"/>' % c +
                    stroke("M16 16l4.5 4.5", c, 1.8))
states("videoList", "icon_search", SEARCH, (MUTED, INK, ACCENT), 16)
COPY = lambda c: ('<rect x="8.5" y="8.5" width="11" height="11" rx="2" stroke="%s" stroke-width="1.7"/>' % c +
                  stroke("M15.5 8.5V6.5a2 2 0 0 0-2-2h-7a2 2 0 0 0-2 2v7a2 2 0 0 0 2 2h2", c, 1.7))
states("videoList", "icon_copy", COPY, (MUTED, INK, ACCENT), 16)
ASC = lambda c: (stroke("M12 18V7M8 11l4-4 4 4", c, 1.8))
DESC = lambda c: (stroke("M12 6v11M8 13l4 4 4-4", c, 1.8))
states("videoList", "icon_asc", ASC, (MUTED, ACCENT, ACCENT_DARK), 16)
states("videoList", "icon_desc", DESC, (MUTED, ACCENT, ACCENT_DARK), 16)
write("videoList", "icon_folder.svg", svg(
    stroke("M3.5 7.5A2 2 0 0 1 5.5 5.5h4l2 2h7a2 2 0 0 1 2 2v8a2 2 0 0 1-2 2h-13a2 2 0 0 1-2-2z", "#f5a623", 1.6)
    + '<path d="M3.5 10h17" stroke="#f5a623" stroke-width="1.6"/>', 16))
EMPTY_BOX = ('<rect x="30" y="44" width="100" height="66" rx="10" fill="#eef2fb"/>'
             '<path d="M30 62h100" stroke="#d5def5" stroke-width="3"/>'
             '<path d="M70 80h20" stroke="#b5c4ea" stroke-width="4"/>')
write("videoList", "no_video_img.svg", svg(EMPTY_BOX + '<circle cx="80" cy="30" r="10" fill="#d5def5"/>', 160, 160))
write("videoList", "no_search_result_img.svg", svg(
    EMPTY_BOX + '<circle cx="112" cy="102" r="16" fill="#fff" stroke="%s" stroke-width="4"/>' % ACCENT +
    '<path d="M124 114l12 12" stroke="%s" stroke-width="5" stroke-linecap="round"/>' % ACCENT, 160, 160))
ADD_CATE = lambda c: stroke("M12 6v12M6 12h12", c, 1.8)
states("videoList", "icon_add_cate", ADD_CATE, (INK, ACCENT, ACCENT_DARK), 16)
REFRESH = lambda c: stroke("M19 12a7 7 0 1 1-2.05-4.95M19 5v4h-4", c, 1.8)
states("videoList", "icon_refresh", REFRESH, (INK, ACCENT, ACCENT_DARK), 16)
BRANCH_CLOSED = lambda c: stroke("M10 7l5 5-5 5", c, 1.8)
BRANCH_OPEN = lambda c: stroke("M7 10l5 5 5-5", c, 1.8)
write("videoList", "icon_branch_closed.svg", svg(BRANCH_CLOSED(MUTED), 16))
write("videoList", "icon_branch_open.svg", svg(BRANCH_OPEN(MUTED), 16))
write("videoList", "icon_page_previous.svg", svg(stroke("M14 7l-5 5 5 5", INK, 1.8), 16))
write("videoList", "icon_checkbox_partial.svg", svg(
    '<rect x="3" y="3" width="18" height="18" rx="4" fill="%s"/>' % ACCENT + stroke("M8 12h8", WHITE, 2.2), 16))
write("videoList", "icon_checkbox_unchecked.svg", svg(
    '<rect x="3.5" y="3.5" width="17" height="17" rx="4" fill="#ffffff" stroke="#c9cdd4" stroke-width="1.4"/>', 16))
write("videoList", "icon_checkbox_unchecked_disabled.svg", svg(
    '<rect x="3.5" y="3.5" width="17" height="17" rx="4" fill="#f7f8fa" stroke="#e5e6eb" stroke-width="1.4"/>', 16))
write("videoList", "icon_page_next.svg", svg(stroke("M10 7l5 5-5 5", INK, 1.8), 16))
DELETE = lambda c: stroke("M4.5 7h15M9.5 7V5h5v2M6.5 7l1 12.5h9l1-12.5M10 10.5v6M14 10.5v6", c, 1.7)
states("transferList", "icon_delete_tasks", DELETE, (MUTED, DANGER, DANGER), 16)
states("transferList", "icon_start", lambda c: '<path d="M8 5.5v13l10.5-6.5z" stroke="%s" stroke-width="1.7"/>' % c,
       (MUTED, ACCENT, ACCENT_DARK), 16)
states("transferList", "icon_pause", lambda c: ('<rect x="6.5" y="5.5" width="3.5" height="13" rx="1" fill="%s"/>'
                                                 '<rect x="14" y="5.5" width="3.5" height="13" rx="1" fill="%s"/>' % (c, c)),
       (MUTED, ACCENT, ACCENT_DARK), 16)
states("transferList", "icon_folder_open", lambda c: stroke(
    "M3.5 7.5A2 2 0 0 1 5.5 5.5h4l2 2h7a2 2 0 0 1 2 2v8a2 2 0 0 1-2 2h-13a2 2 0 0 1-2-2z", c, 1.6),
    (MUTED, ACCENT, ACCENT_DARK), 16)

# --- transfer page: retry, the file icon of a row, the empty placeholder -----------------------
states("transferList", "icon_retry", lambda c: stroke(
    "M19.5 12a7.5 7.5 0 1 1-2.2-5.3M19.5 4.5v4.5h-4.5", c, 1.8), (MUTED, ACCENT, ACCENT_DARK), 16)
write("transferList", "icon_file_video.svg", svg(
    '<path d="M6 3.5h8l4.5 4.5v12a1 1 0 0 1-1 1H6a1 1 0 0 1-1-1V4.5a1 1 0 0 1 1-1z" fill="#eaf0ff" '
    'stroke="%s" stroke-width="1.5"/><path d="M10 11v5.5l4.5-2.75z" fill="%s"/>' % (ACCENT, ACCENT), 16))
write("transferList", "icon_empty.svg", svg(
    EMPTY_BOX + '<circle cx="80" cy="30" r="16" fill="%s"/>' % ACCENT +
    '<path d="M80 38V22M73 29l7-7 7 7" stroke="#fff" stroke-width="3.5" stroke-linecap="round" '
    'stroke-linejoin="round"/>', 160, 160))
