// Line icons drawn on a 24 × 24 grid; they take the text colour.
const wrap = (body: string) =>
  `<svg viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round" aria-hidden="true">${body}</svg>`;

export const ICONS = {
  logo: wrap('<rect x="3" y="6" width="16" height="12" rx="2.5"/><path d="M21 10v4"/><path d="M11.5 8.5 8.5 12.5h4l-3 4"/>'),
  home: wrap('<path d="M4 11 12 4l8 7"/><path d="M6 9.5V20h12V9.5"/><path d="M10 20v-5h4v5"/>'),
  detail: wrap('<path d="M4 19h16"/><path d="M6 15l4-5 3 3 5-7"/>'),
  battery: wrap('<rect x="3" y="7" width="16" height="10" rx="2"/><path d="M21 10.5v3"/><path d="M6 10v4M9 10v4"/>'),
  link: wrap('<path d="M9 7V3M15 7V3"/><path d="M6 7h12v4a6 6 0 0 1-12 0z"/><path d="M12 17v4"/>'),
  info: wrap('<circle cx="12" cy="12" r="9"/><path d="M12 11v6"/><path d="M12 7.5v.5"/>'),
  minimize: wrap('<path d="M6 12h12"/>'),
  maximize: wrap('<rect x="6" y="6" width="12" height="12" rx="1.5"/>'),
  close: wrap('<path d="M7 7l10 10M17 7 7 17"/>'),
  bolt: wrap('<path d="M13 3 6 13h5l-1 8 7-10h-5z"/>'),
  plugIn: wrap('<path d="M4 12h6"/><path d="M10 8h4a4 4 0 0 1 0 8h-4z"/><path d="M18 12h2"/>'),
  out: wrap('<path d="M5 12h11"/><path d="M12 7l5 5-5 5"/><path d="M19 5v14"/>'),
  thermo: wrap('<path d="M10 14.5V5a2 2 0 0 1 4 0v9.5a4 4 0 1 1-4 0z"/><path d="M12 10v6"/>'),
  capacity: wrap('<path d="M12 3v18"/><path d="M5 8h14M5 16h14"/>'),
  chip: wrap('<rect x="6" y="6" width="12" height="12" rx="2"/><path d="M9 3v3M15 3v3M9 18v3M15 18v3M3 9h3M3 15h3M18 9h3M18 15h3"/>'),
  history: wrap('<path d="M4 12a8 8 0 1 0 2.3-5.6"/><path d="M4 4v4h4"/><path d="M12 8v4l3 2"/>'),
  check: wrap('<path d="M5 12.5 10 17l9-10"/>'),
  warn: wrap('<path d="M12 4 2.5 20h19z"/><path d="M12 10v4.5"/><path d="M12 17.5v.5"/>'),
  power: wrap('<path d="M12 3v8"/><path d="M7 6.5a7 7 0 1 0 10 0"/>'),
  usb: wrap('<path d="M12 3v15"/><path d="M9 6l3-3 3 3"/><path d="M12 14l-4-2V9"/><path d="M12 12l4-2V8"/><circle cx="12" cy="19" r="2"/>'),
  globe: wrap('<circle cx="12" cy="12" r="9"/><path d="M3 12h18"/><path d="M12 3a14 14 0 0 1 0 18a14 14 0 0 1 0-18"/>'),
  download: wrap('<path d="M12 4v11"/><path d="M7 10l5 5 5-5"/><path d="M5 20h14"/>'),
  eye: wrap('<path d="M2 12s3.5-6 10-6 10 6 10 6-3.5 6-10 6S2 12 2 12z"/><circle cx="12" cy="12" r="2.5"/>'),
} as const;
