#!/usr/bin/env python3
"""Writes the skin's vector icons (skin/icons, skin/common/device_ico). Run after changing a
shape; the SVG files are kept in the repository."""
import os

top = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "skin")
MUTED, ACCENT, INK = "#9AA1B2", "#22D3EE", "#C9CED8"


def svg(size, body, stroke=INK, width=1.8):
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{size}" height="{size}" '
            f'viewBox="0 0 24 24" fill="none" stroke="{stroke}" stroke-width="{width}" '
            f'stroke-linecap="round" stroke-linejoin="round">{body}</svg>\n')


def write(path, text):
    full = os.path.join(top, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "w") as f:
        f.write(text)


TITLE = {
    "close": '<path d="M6 6l12 12M18 6L6 18"/>',
    "min": '<path d="M5 12h14"/>',
    "max": '<rect x="5" y="5" width="14" height="14" rx="2"/>',
    "restore": '<rect x="5" y="8" width="11" height="11" rx="2"/><path d="M8 8V6a1 1 0 0 1 1-1h9a1 1 0 0 1 1 1v9a1 1 0 0 1-1 1h-2"/>',
    "skin": '<path d="M12 3a9 9 0 1 0 0 18c1.1 0 1.6-.9 1.3-1.8l-.4-1.1c-.4-1 .4-2.1 1.5-2.1H17a4 4 0 0 0 4-4c0-5-4-9-9-9z"/><circle cx="7.5" cy="11" r="1.2"/><circle cx="10.5" cy="7" r="1.2"/><circle cx="15.5" cy="8" r="1.2"/>',
    "gamemode": '<path d="M7 8h10a4 4 0 0 1 4 4l-.6 4.2A2.5 2.5 0 0 1 16.2 17L14.5 15h-5l-1.7 2a2.5 2.5 0 0 1-4.2-.8L3 12a4 4 0 0 1 4-4z"/><path d="M8 11v3M6.5 12.5h3"/><circle cx="16" cy="11.5" r=".6"/><circle cx="17.5" cy="13.5" r=".6"/>',
    "cloud": '<path d="M7 18h10a4 4 0 0 0 .6-8 6 6 0 0 0-11.5 1.5A3.3 3.3 0 0 0 7 18z"/>',
    "smarteyes": '<path d="M2 12s3.6-7 10-7 10 7 10 7-3.6 7-10 7S2 12 2 12z"/><circle cx="12" cy="12" r="3"/>',
    "settings": '<path d="M4 7h10M18 7h2M4 17h4M12 17h8"/><circle cx="16" cy="7" r="2"/><circle cx="10" cy="17" r="2"/>',
    "chevron_left": '<path d="M15 6l-6 6 6 6"/>',
    "chevron_right": '<path d="M9 6l6 6-6 6"/>',
}
for name, body in TITLE.items():
    write(f"icons/{name}.svg", svg(20, body))

# The program's mark: a Z in a rounded square, cyan to violet.
write("icons/zepho7.svg", '''<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64" viewBox="0 0 64 64">
<defs><linearGradient id="g" x1="0" y1="0" x2="1" y2="1"><stop offset="0" stop-color="#22D3EE"/><stop offset="1" stop-color="#8B5CF6"/></linearGradient></defs>
<rect x="4" y="4" width="56" height="56" rx="14" fill="url(#g)"/>
<path d="M20 20h24L22 44h24" fill="none" stroke="#0B0E13" stroke-width="6" stroke-linecap="round" stroke-linejoin="round"/>
</svg>
''')

DEVICES = {
    "ms": '<rect x="6" y="2.5" width="12" height="19" rx="6"/><path d="M12 2.5v6M6 9h12"/>',
    "kb": '<rect x="2" y="6" width="20" height="12" rx="2"/><path d="M6 10h.01M10 10h.01M14 10h.01M18 10h.01M7 14h10"/>',
    "hard_mp": '<rect x="2.5" y="5" width="19" height="14" rx="2"/><path d="M2.5 15h19"/>',
    "soft_mp": '<path d="M4 5h16a1.5 1.5 0 0 1 1.5 1.5V17a2 2 0 0 1-2 2H4.5a2 2 0 0 1-2-2V6.5A1.5 1.5 0 0 1 4 5z"/><path d="M6 9c3 1 9 1 12 0"/>',
    "hd": '<path d="M4 15v-3a8 8 0 0 1 16 0v3"/><rect x="3" y="14" width="4" height="6" rx="1.5"/><rect x="17" y="14" width="4" height="6" rx="1.5"/>',
    "hub": '<rect x="3" y="9" width="18" height="7" rx="2"/><path d="M7 12.5h.01M11 12.5h.01M15 12.5h.01M12 9V5"/>',
    "unknow": '<circle cx="12" cy="12" r="9"/><path d="M9.5 9.5a2.5 2.5 0 0 1 4.9.8c0 1.7-2.4 2.2-2.4 3.7M12 17h.01"/>',
}
SYNC = '<g stroke-width="1.6"><circle cx="19" cy="19" r="4.2" fill="#0B0E13"/><path d="M17.2 18.2a2 2 0 0 1 3.4-.6M20.8 19.8a2 2 0 0 1-3.4.6"/></g>'
for kind, body in DEVICES.items():
    write(f"common/device_ico/{kind}_device_normal.svg", svg(48, body, MUTED, 1.5))
    write(f"common/device_ico/{kind}_device_selected.svg", svg(48, body, ACCENT, 1.5))
    write(f"common/device_ico/{kind}_device_synchro_normal.svg",
          svg(48, body + SYNC.replace("<g ", f'<g stroke="{ACCENT}" '), MUTED, 1.5))
    write(f"common/device_ico/{kind}_device_synchro_selected.svg",
          svg(48, body + SYNC.replace("<g ", f'<g stroke="{ACCENT}" '), ACCENT, 1.5))

# Shown while nothing is attached.
write("icons/no_device.svg", '''<svg xmlns="http://www.w3.org/2000/svg" width="96" height="96" viewBox="0 0 96 96" fill="none" stroke-linecap="round" stroke-linejoin="round">
<circle cx="48" cy="48" r="44" fill="#171B22" stroke="#232833" stroke-width="2"/>
<rect x="36" y="22" width="24" height="40" rx="12" stroke="#9AA1B2" stroke-width="3"/>
<path d="M48 22v12M36 38h24" stroke="#9AA1B2" stroke-width="3"/>
<path d="M48 62v6a6 6 0 0 0 6 6h6" stroke="#22D3EE" stroke-width="3" stroke-dasharray="3 5"/>
</svg>
''')

# The profile bar's buttons.
PROFILE = {
    "profile_save": '<path d="M5 12.5l4.5 4.5L19 7.5"/>',
    "profile_more": '<g fill="#C9CED8"><circle cx="6" cy="12" r="1.2"/><circle cx="12" cy="12" r="1.2"/><circle cx="18" cy="12" r="1.2"/></g>',
    "profile_add": '<path d="M12 5v14M5 12h14"/>',
    "profile_delete": '<path d="M5 7h14M10 7V5h4v2M7 7l1 12h8l1-12M10.5 11v5M13.5 11v5"/>',
    "profile_copy": '<rect x="8" y="8" width="11" height="11" rx="2"/><path d="M5 15V6a1 1 0 0 1 1-1h9"/>',
    "profile_import": '<path d="M12 4v11M7.5 10.5L12 15l4.5-4.5M5 19h14"/>',
    "profile_export": '<path d="M12 15V4M7.5 8.5L12 4l4.5 4.5M5 19h14"/>',
    "profile_reset": '<path d="M4.5 12a7.5 7.5 0 1 0 2.2-5.3L4.5 9"/><path d="M4.5 4.5V9H9"/>',
}
for name, body in PROFILE.items():
    write(f"icons/{name}.svg", svg(20, body))

# The power panel: charging state, wireless link, phone on the mousepad. The layouts name
# them ".png"; the skin serves these ".svg" files for those names.
BATTERY = '<rect x="2.5" y="7" width="16.5" height="10" rx="2.2"/><path d="M21.5 10.5v3"/>'
POWER = {
    # on battery
    "powered": svg(22, BATTERY, MUTED, 1.6),
    # full
    "power": svg(22, BATTERY + f'<rect x="5" y="9.5" width="11.5" height="5" rx="1" fill="{ACCENT}" stroke="none"/>', ACCENT, 1.6),
    # charging by cable: a plug
    "powering": svg(22, '<path d="M9 3v5M15 3v5M6.5 8h11v3a5.5 5.5 0 0 1-11 0zM12 16.5V21"/>', ACCENT, 1.7),
    # charging on the pad: a bolt over the pad's field
    "wuxian_powering": svg(22, f'<path d="M13.2 2.5L8 10.5h3.6L10.6 16l5.4-8h-3.6z" fill="{ACCENT}"/><path d="M4.5 17.5c4.5 2.7 10.5 2.7 15 0M7.5 20.5c3 1.2 6 1.2 9 0"/>', ACCENT, 1.5),
    "wuxian_logo": svg(18, '<path d="M4.5 10a10.5 10.5 0 0 1 15 0M7.6 13.2a6 6 0 0 1 8.8 0"/><circle cx="12" cy="17" r="1.3" fill="#22D3EE"/>', ACCENT, 1.8),
    "Phone_type_iphone": svg(22, '<rect x="7" y="2.5" width="10" height="19" rx="2.6"/><path d="M10.5 4.6h3"/>', ACCENT, 1.5),
    "Phone_type_samsung": svg(22, '<rect x="7" y="2.5" width="10" height="19" rx="1.6"/><circle cx="12" cy="5" r=".7" fill="#22D3EE"/>', ACCENT, 1.5),
    "Phone_type_other": svg(22, '<rect x="7" y="2.5" width="10" height="19" rx="2"/><path d="M10.5 18.6h3"/>', ACCENT, 1.5),
    "Phone_type_no_device": svg(22, '<rect x="7" y="2.5" width="10" height="19" rx="2" stroke-dasharray="2.2 2.2"/>', MUTED, 1.4),
}
for name, text in POWER.items():
    write(f"power/{name}.svg", text)
