#version 330
// Forward water over the finished scene: refraction of the scene colour, depth fog, a specular
// glint, a small blur and the sky's reflection.
layout(std140) uniform Misc {
	vec2 vMapSize;
	float fNear;
	float fFar;
};
layout(std140) uniform Material {
	vec4 vWaterColor;
	float fIntensity;
	float fHardness;
	float fEmission;
	float fRefraction;
	vec4 vSpecularColor;
};
uniform sampler2D ColorMap;
uniform sampler2D NormalMapA;
uniform sampler2D NormalMapB;
uniform samplerCube ReflectionCubeMap;
uniform sampler2D DepthMap;
uniform sampler2D LDepthMap;
uniform vec2 vOffset;
uniform float fFogDepth;
in vec2 vTexCoord;
in vec3 vEyeDirection;
in vec3 vLightDirection;
in vec3 vEyeReflectionDirection;
in mat3 mEyeReflectionMatrix;
in float fLDepth;
out vec4 vFragColor;

void main() {
	vec2 s = gl_FragCoord.xy / vMapSize;
	if (gl_FragCoord.z > texture(DepthMap, s).r) discard;
	vec3 vNormal = normalize(texture(NormalMapA, vTexCoord + vOffset * 2.0).rgb + texture(NormalMapB, vTexCoord - vOffset).rgb - 1.0);
	vec2 r = s + vNormal.xz * gl_FragCoord.w * fRefraction;
	float fSpecular = pow(max(0.0, dot(-reflect(normalize(vLightDirection), vNormal), normalize(vEyeDirection))), fHardness) * fIntensity;
	vec4 c;
	float fSceneDepth;
	if (gl_FragCoord.z < texture(DepthMap, r).r) {
		c = texture(ColorMap, r);
		fSceneDepth = texture(LDepthMap, r).r;
	} else {
		c = texture(ColorMap, s);
		fSceneDepth = texture(LDepthMap, s).r;
	}
	vec4 vResult = mix(c * vWaterColor, vWaterColor * 0.50, clamp((fSceneDepth - fLDepth) * fFogDepth, 0.10, 0.95)) + fSpecular * vSpecularColor;
	vResult = mix(vResult, texture(ColorMap, vec2(r.x - 0.002, r.y + vNormal.y * 0.20 + 0.040)), fEmission) * 0.20;
	vResult += mix(c, texture(ColorMap, vec2(r.x + 0.002, r.y + vNormal.y * 0.20 + 0.040)), fEmission) * 0.20;
	vResult += mix(vResult, texture(ColorMap, vec2(r.x, r.y + vNormal.y * 0.15 + 0.040 - 0.002)), fEmission) * 0.20;
	vResult += mix(c, texture(ColorMap, vec2(r.x, r.y + vNormal.y * 0.25 + 0.040 + 0.002)), fEmission) * 0.20;
	vResult += mix(vResult, texture(ReflectionCubeMap, mEyeReflectionMatrix * reflect(-vNormal, vEyeReflectionDirection)), fEmission) * 0.20;
	vFragColor = vec4(vResult.rgb, texture(NormalMapA, vTexCoord).a);
}
